// The `snapshot show ID` subcommand: one stored snapshot in its file format's JSON encoding.
// Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `snapshot` (with `show`) to `app`; when it runs, its exit status is stored in `status`.
void addSnapshotCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
