// The `journal` subcommand: the stored journal and the verdict the shutdown detector gives for it
// in a boot session (the current one unless --boot-session names another), with the default
// thresholds and the snapshot store as it is. Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `journal` to `app`; when it runs, its exit status is stored in `status`.
void addJournalCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
