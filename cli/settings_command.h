// The `settings` subcommand: prints the settings in force, as read from the user's settings file,
// or with --check FILE tells whether a settings file can be used as it stands. Main thread only.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `settings` to `app`; when it runs, its exit status is stored in `status`.
void addSettingsCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
