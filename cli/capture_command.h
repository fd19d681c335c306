// The `capture` subcommand: one manual snapshot of this desktop, stored in the support
// directory's snapshot store, its summary printed. Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `capture` to `app`; when it runs, its exit status is stored in `status`.
void addCaptureCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
