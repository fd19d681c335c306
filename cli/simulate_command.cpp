#include "cli/simulate_command.h"

#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/read_file.h"
#include "cli/simulation/scenario.h"
#include "cli/simulation/simulator.h"
#include "cli/support_option.h"

namespace brimwell::cli {
namespace {

struct SimulateOptions {
  std::string scenario;
  std::string settings;
  std::string support;
  bool json = false;
};

Result<BrimwellSettings> loadSettings(const std::string& path) {
  if (path.empty()) return BrimwellSettings::defaults();
  auto text = readFile(path);
  if (!text && isRefusedFile(text.error())) return Unexpected(text.error());
  if (!text) {
    return fail("Couldn't read the settings file " + path + ": " + text.error().message() + ".");
  }
  auto tree = BrimwellJSON::parseTree(*text);
  if (!tree || !tree->is_object()) {
    return fail("The settings file " + path + " is not a JSON object.");
  }
  auto settings = BrimwellJSON::decodeTree<BrimwellSettings>(*tree);
  if (!settings) return fail("The settings file " + path + " couldn't be read.");
  return *settings;
}

Result<simulation::Scenario> loadScenario(const std::string& path) {
  if (path.empty()) return simulation::builtInDischarge();
  auto text = readFile(path, 16 * kSmallFileLimit);
  if (!text && isRefusedFile(text.error())) return Unexpected(text.error());
  if (!text) {
    return fail("Couldn't read the scenario " + path + ": " + text.error().message() + ".");
  }
  return simulation::parseScenario(*text);
}

// A directory of the simulation's own, removed when it ends.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "brimwell-sim-XXXXXX");
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

int runSimulate(const SimulateOptions& options) {
  auto settings = loadSettings(options.settings);
  if (!settings) return reportFailure(settings.error().message(), 2);
  auto scenario = loadScenario(options.scenario);
  if (!scenario) return reportFailure(scenario.error().message(), 2);
  if (options.scenario.empty()) {
    // The built-in run shows Safe Landing: enabled, and proven on the simulated model.
    settings->safeLandingEnabled = true;
    settings->safeLandingProvenOnBootModel = simulation::SimulatedMachine::model;
  }

  std::unique_ptr<ScratchDirectory> scratch;
  std::filesystem::path support = options.support;
  if (support.empty()) {
    scratch = std::make_unique<ScratchDirectory>();
    support = scratch->path();
    if (support.empty()) return reportFailure("Couldn't make a temporary directory.");
  } else {
    std::error_code error;
    std::filesystem::create_directories(support, error);
    if (!std::filesystem::is_directory(support, error)) {
      return reportFailure("The support directory " + support.string() + " can't be made.");
    }
  }

  const bool json = options.json;
  simulation::Simulator simulator(support, *settings, [json](const simulation::TimelineEntry& e) {
    std::cout << (json ? simulation::jsonLine(e) : simulation::textLine(e)) << '\n';
  });
  simulator.run(*scenario);
  std::cout.flush();
  return 0;
}

}  // namespace

void addSimulateCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<SimulateOptions>();
  auto* command = app.add_subcommand(
      "simulate", "Run the engine on a virtual clock through a scenario (default: a discharge)");
  command->add_option("scenario", options->scenario, "A JSON-lines scenario file");
  command->add_option("--settings", options->settings, "A settings JSON document");
  command->add_option("--support", options->support,
                      "Keep the files the run writes in this directory");
  command->add_flag("--json", options->json, "One JSON object per line");
  command->callback([options, &status] { status = runSimulate(*options); });
}

}  // namespace brimwell::cli
