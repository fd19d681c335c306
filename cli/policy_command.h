// The `policy` subcommand: prints the phase policy's decision for every reading of the built-in
// discharge. Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `policy` to `app`; when it runs, its exit status is stored in `status`.
void addPolicyCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
