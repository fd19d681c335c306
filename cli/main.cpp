// brimwell: the host tool. Each subcommand lives in its own file and registers itself here.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "cli/capture_command.h"
#include "cli/doctor_command.h"
#include "cli/helper_command.h"
#include "cli/journal_command.h"
#include "cli/plan_command.h"
#include "cli/policy_command.h"
#include "cli/rescued_command.h"
#include "cli/restore_command.h"
#include "cli/settings_command.h"
#include "cli/setup_command.h"
#include "cli/simulate_command.h"
#include "cli/snapshot_command.h"
#include "cli/snapshots_command.h"
#include "cli/watch_command.h"

namespace {

// CLI11's message as one sentence.
std::string sentence(std::string text) {
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Brimwell keeps your work safe when the battery runs low: it watches the battery, "
      "snapshots and restores your workspace, and shows what it has stored.",
      "brimwell");
  app.require_subcommand(1);
  int status = 0;
  brimwell::cli::addPolicyCommand(app, status);
  brimwell::cli::addSnapshotsCommand(app, status);
  brimwell::cli::addSnapshotCommand(app, status);
  brimwell::cli::addCaptureCommand(app, status);
  brimwell::cli::addJournalCommand(app, status);
  brimwell::cli::addPlanCommand(app, status);
  brimwell::cli::addRestoreCommand(app, status);
  brimwell::cli::addRescuedCommand(app, status);
  brimwell::cli::addHelperCommand(app, status);
  brimwell::cli::addSimulateCommand(app, status);
  brimwell::cli::addWatchCommand(app, status);
  brimwell::cli::addSettingsCommand(app, status);
  brimwell::cli::addDoctorCommand(app, status);
  brimwell::cli::addSetupCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done);  // --help and its kin print and exit 0
  } catch (const CLI::ParseError& error) {
    std::cerr << sentence(error.what()) << '\n';
    return 2;
  } catch (const std::exception& error) {
    // Commands report their failures themselves; this is the last guard against a trace.
    std::cerr << sentence(std::string("Brimwell stopped: ") + error.what()) << '\n';
    return 1;
  }
  return status;
}
