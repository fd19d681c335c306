// The `snapshots` subcommand: the summaries of the snapshot store, newest first, one per line, as
// text or (with --json) as each summary's JSON form. Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `snapshots` to `app`; when it runs, its exit status is stored in `status`.
void addSnapshotsCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
