#include "cli/doctor_command.h"

#include <iostream>
#include <memory>
#include <string>

#include "brimwell/core/storage/brimwell_json.h"
#include "linux/doctor/doctor_report.h"
#include "linux/doctor/machine_probe.h"

namespace brimwell::cli {
namespace {

struct DoctorOptions {
  bool json = false;
  std::string root = "/";
  std::string socket;
};

int runDoctor(const DoctorOptions& options) {
  ProbeOptions probe = ProbeOptions::forProcess();
  probe.root = options.root;
  if (!options.socket.empty()) probe.helper.socketPath = options.socket;
  const auto rows = doctorRows(probeMachine(probe));
  if (options.json) {
    std::cout << BrimwellJSON::dump(doctorJson(rows)) << '\n';
  } else {
    std::cout << doctorTable(rows);
  }
  return safeLandingCanWork(rows) ? 0 : 1;
}

}  // namespace

void addDoctorCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<DoctorOptions>();
  auto* command = app.add_subcommand(
      "doctor", "Show what Brimwell can and can't do on this machine, and what to do about it");
  command->add_flag("--json", options->json, "One JSON document instead of the table");
  command->add_option("--root", options->root,
                      "A directory standing for / whose proc, sys and usr trees are read "
                      "(default: /)");
  command->add_option("--socket", options->socket,
                      "The helper daemon's socket (default: the installed daemon's)");
  command->callback([options, &status] { status = runDoctor(*options); });
}

}  // namespace brimwell::cli
