// The `setup` subcommand: `setup gnome` turns Brimwell's GNOME Shell extension on for this user
// and says in one sentence where it stands; exit status 0 when it is on, 1 otherwise. Main thread
// only; every call it makes is bounded in time.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `setup` to `app`; when it runs, its exit status is stored in `status`.
void addSetupCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
