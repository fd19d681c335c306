#include "cli/settings_command.h"

#include <iostream>
#include <memory>
#include <string>

#include "brimwell/core/storage/brimwell_settings.h"
#include "cli/support_option.h"
#include "linux/settings_file.h"
#include "linux/xdg_locations.h"

namespace brimwell::cli {
namespace {

struct SettingsOptions {
  std::string file;   // the settings file to read instead of the user's
  std::string check;  // the settings file to judge
};

// Judges `file`: status 0 with a sentence on standard output when it is usable as it stands,
// 1 with the sentence saying what is wrong otherwise.
int checkSettings(const std::string& file) {
  const SettingsFileReading reading = readSettingsFile(file);
  if (!reading.exists) return reportFailure("There is no settings file " + file + ".");
  if (reading.problem) return reportFailure(*reading.problem);
  std::cout << "The settings file " << file << " is valid.\n";
  return 0;
}

// Prints the settings in force as indented JSON; what is wrong with the file goes to standard
// error, and the settings shown are then the ones actually used.
int printSettings(const std::string& file) {
  std::string path = file;
  if (path.empty()) {
    auto locations = XdgLocations::resolve(XdgLocations::processEnvironment());
    if (!locations) return reportFailure(locations.error().message());
    path = locations->settingsFile.string();
  }
  const SettingsFileReading reading = readSettingsFile(path);
  if (reading.problem) std::cerr << *reading.problem << '\n';
  std::cout << toJson(reading.settings).dump(2) << '\n';
  return 0;
}

}  // namespace

void addSettingsCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<SettingsOptions>();
  auto* command = app.add_subcommand(
      "settings", "Print the settings in force, or check a settings file with --check FILE");
  auto* file = command->add_option(
      "--file", options->file,
      "The settings file to read (default: $XDG_CONFIG_HOME/brimwell/settings.json)");
  command
      ->add_option("--check", options->check,
                   "Tell whether FILE can be used as settings, naming what is wrong")
      ->excludes(file);
  command->callback([options, &status] {
    status = options->check.empty() ? printSettings(options->file) : checkSettings(options->check);
  });
}

}  // namespace brimwell::cli
