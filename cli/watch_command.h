// The `watch` subcommand: runs the engine in the foreground on the system clock with this host's
// battery, system information and idle inhibitor, printing state changes and events as lines
// until SIGTERM or SIGINT, which end it cleanly with exit status 0. Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `watch` to `app`; when it runs, its exit status is stored in `status`.
void addWatchCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
