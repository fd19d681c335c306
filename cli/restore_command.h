// The `restore ID` subcommand: brings a stored snapshot's workspace back onto this desktop. It
// plans against what is open now (so nothing open is opened twice), carries the plan out with a
// progress bar on a terminal (plain lines otherwise), prints the report, and answers the pending
// restore offer in the journal when it was this snapshot. `--dry-run` only prints the plan. Also
// the hidden `serve-clipboard`, the detached helper that keeps a restored clipboard offered.
// Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `restore` and the hidden `serve-clipboard` to `app`; the exit status goes to `status`.
void addRestoreCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
