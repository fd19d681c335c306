// The `helper` subcommand: calls one operation of the helper daemon through HelperClient and
// prints its result, or the daemon's sentence on standard error with exit status 1. Main thread
// only; the call itself runs on the client's thread and is waited for.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `helper` to `app`; when it runs, its exit status is stored in `status`.
void addHelperCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
