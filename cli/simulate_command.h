// The `simulate` subcommand: runs the real engine on a virtual clock through a scenario file, or
// through the built-in discharge with Safe Landing and a restart, and prints the timeline as
// readable lines or as JSON lines. Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `simulate` to `app`; when it runs, its exit status is stored in `status`.
void addSimulateCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
