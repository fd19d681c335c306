#include "cli/setup_command.h"

#include <chrono>
#include <iostream>

#include "linux/gnome_extension.h"

namespace brimwell::cli {
namespace {

int runSetupGnome() {
  DeadlineBus session(DeadlineBus::Kind::session, std::chrono::seconds(5));
  const auto verdict = setUpShellExtension(session);
  if (!verdict) {
    std::cerr << verdict.error().message() << '\n';
    return 1;
  }
  (verdict->on ? std::cout : std::cerr) << verdict->sentence << '\n';
  return verdict->on ? 0 : 1;
}

}  // namespace

void addSetupCommand(CLI::App& app, int& status) {
  auto* command = app.add_subcommand("setup", "Prepare the desktop for Brimwell");
  command->require_subcommand(1);
  auto* gnome = command->add_subcommand(
      "gnome", "Turn on Brimwell's GNOME Shell extension, which lists and places windows");
  gnome->callback([&status] { status = runSetupGnome(); });
}

}  // namespace brimwell::cli
