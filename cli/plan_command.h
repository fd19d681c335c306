// The `plan ID` subcommand: the restore plan for a stored snapshot, as JSON, from the user's
// selection and the current workspace given as JSON files (by default everything is selected and
// nothing is open, the clipboard empty). Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `plan` to `app`; when it runs, its exit status is stored in `status`.
void addPlanCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
