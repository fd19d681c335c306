// The `doctor` subcommand: what Brimwell can and can't do on this machine, as a table (or one
// JSON document with --json); exit status 0 when Safe Landing can work here, 1 otherwise. Main
// thread only; every check it makes is bounded in time.
#pragma once

#include <CLI/CLI.hpp>

namespace brimwell::cli {

// Adds `doctor` to `app`; when it runs, its exit status is stored in `status`.
void addDoctorCommand(CLI::App& app, int& status);

}  // namespace brimwell::cli
