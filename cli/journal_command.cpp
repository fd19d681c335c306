#include "cli/journal_command.h"

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "brimwell/core/journal/journal_store.h"
#include "brimwell/core/journal/shutdown_detector.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/support_option.h"
#include "linux/linux_system_info.h"
#include "linux/settings_file.h"
#include "linux/xdg_locations.h"

namespace brimwell::cli {
namespace {

struct JournalOptions {
  std::string support;
  std::string bootSession;
  std::string settings;
  bool json = false;
};

// {"kind":"none"}, or the kind with the verdict's date and snapshot when it has them.
Json verdictJson(const ShutdownVerdict& verdict) {
  JsonObjectWriter writer;
  const auto kind = verdict.kind();
  writer.put("kind", kind ? std::string(toString(*kind)) : std::string("none"));
  writer.put("at", verdict.date());
  writer.put("snapshotID", verdict.snapshotID());
  return writer.take();
}

std::string verdictText(const ShutdownVerdict& verdict) {
  const auto kind = verdict.kind();
  if (!kind) return "none";
  std::string text(toString(*kind));
  if (const auto at = verdict.date()) text += " at " + BrimwellJSON::format(*at);
  if (const auto id = verdict.snapshotID()) text += ", snapshot " + *id;
  return text;
}

int runJournal(const JournalOptions& options) {
  const auto paths = supportPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());
  std::string bootSession = options.bootSession;
  if (bootSession.empty()) {
    bootSession = LinuxSystemInfo().bootSessionUUID();
    if (bootSession == LinuxSystemInfo::unknown) {
      return reportFailure("The current boot session can't be read; name one with --boot-session.");
    }
  }

  // The verdict the engine gives at its next start: with the user's thresholds.
  std::string settingsFile = options.settings;
  if (settingsFile.empty()) {
    auto locations = XdgLocations::resolve(XdgLocations::processEnvironment());
    if (!locations) return reportFailure(locations.error().message());
    settingsFile = locations->settingsFile.string();
  }
  const SettingsFileReading settings = readSettingsFile(settingsFile);
  if (settings.problem) std::cerr << *settings.problem << '\n';

  const JournalStore journals(*paths);
  const auto journal = journals.read();
  SnapshotStore snapshots(*paths);
  const auto verdict =
      ShutdownDetector::verdict(journal, bootSession, settings.settings.thresholds.inForce(),
                                [&](const std::string& id) { return snapshots.contains(id); });

  const auto journalText = journal ? BrimwellJSON::encode(*journal) : Result<std::string>("null");
  if (!journalText) return reportFailure("The journal can't be shown as JSON.");
  if (options.json) {
    Json line = Json::object();
    line["bootSession"] = bootSession;
    // The journal as stored: its own encoding, not re-encoded through another path.
    auto stored = BrimwellJSON::parseTree(*journalText);
    line["journal"] = stored ? std::move(*stored) : Json(nullptr);
    line["verdict"] = verdictJson(verdict);
    std::cout << BrimwellJSON::dump(line) << '\n';
    return 0;
  }
  if (journal) {
    std::cout << "journal: " << *journalText << '\n';
  } else {
    std::cout << "journal: none readable at " << journals.url().string() << '\n';
  }
  std::cout << "boot session: " << bootSession << '\n'
            << "verdict: " << verdictText(verdict) << '\n';
  return 0;
}

}  // namespace

void addJournalCommand(CLI::App& app, int& status) {
  CLI::App* command = app.add_subcommand(
      "journal", "Print the stored journal and how it says the previous session ended.");
  auto options = std::make_shared<JournalOptions>();
  addSupportOption(*command, options->support);
  command->add_option("--boot-session", options->bootSession,
                      "The boot session to judge the journal in (default: the current boot id)");
  command->add_option("--settings", options->settings,
                      "The settings whose thresholds judge the journal (default: "
                      "$XDG_CONFIG_HOME/brimwell/settings.json)");
  command->add_flag("--json", options->json,
                    "Print one JSON object with bootSession, journal and verdict");
  command->callback([options, &status] { status = runJournal(*options); });
}

}  // namespace brimwell::cli
