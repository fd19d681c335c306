// The `rescued` subcommand: the rescue copies of the last six hours that are still where the save
// pass put them, most recent first, as text or (with --json) one JSON object per line. Main
// thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `rescued` to `app`; when it runs, its exit status is stored in `status`.
void addRescuedCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
