#include "cli/simulation/simulated_collaborators.h"

#include <chrono>

#include "brimwell/core/engine/snapshot_shell.h"

namespace brimwell::simulation {

void SimulatedBattery::deliver(const BatteryReading& reading) {
  latest_ = reading;
  if (onReading_) onReading_(reading);
}

void SimulatedCapturer::capture(CaptureTrigger trigger,
                                const std::optional<BatteryReading>& battery,
                                const std::set<std::string>& excluding, bool includeClipboard,
                                std::function<void(Snapshot)> done) {
  Snapshot snapshot = snapshotShell(clock_.now(), trigger, battery, machine_);
  snapshot.meta.durationMs = 350;

  AppRecord editor{.bundleID = "com.example.writer",
                   .path = "/Applications/Writer.app",
                   .name = "Writer",
                   .wasFrontmost = true};
  editor.windows.push_back({.title = "Report.txt",
                            .frame = Rect{.x = 40, .y = 60, .width = 900, .height = 700},
                            .documentURL = "file:///home/user/Documents/Report.txt"});
  editor.windows.push_back({.title = "Budget.txt",
                            .frame = Rect{.x = 80, .y = 100, .width = 900, .height = 700},
                            .documentURL = "file:///home/user/Documents/Budget.txt",
                            .order = 1});
  AppRecord notes{.bundleID = "com.example.notes",
                  .path = "/Applications/Notes.app",
                  .name = "Notes",
                  .order = 1};
  notes.windows.push_back({.title = "Untitled"});
  AppRecord browserApp{.bundleID = "com.example.browser",
                       .path = "/Applications/Browser.app",
                       .name = "Browser",
                       .order = 2};
  AppRecord terminalApp{.bundleID = "com.example.terminal",
                        .path = "/Applications/Terminal.app",
                        .name = "Terminal",
                        .order = 3};
  for (auto& app : {editor, notes, browserApp, terminalApp}) {
    if (!app.bundleID || !excluding.contains(*app.bundleID)) snapshot.apps.push_back(app);
  }

  BrowserRecord browser{.browser = BrowserKind::safari};
  browser.windows.push_back({.activeTabIndex = 1,
                             .tabs = {{.url = "https://example.org/news", .title = "News"},
                                      {.url = "https://example.org/mail", .title = "Mail"}}});
  snapshot.browsers.push_back(browser);
  snapshot.finder.push_back({.path = "/home/user/Documents"});
  TerminalRecord terminal{.app = TerminalKind::terminal};
  TerminalWindowRecord window;
  window.tabs.push_back({.directory = "/home/user/src", .title = "src"});
  terminal.windows.push_back(window);
  snapshot.terminals.push_back(terminal);
  if (includeClipboard) {
    snapshot.clipboard = ClipboardRecord({{{"public.utf8-plain-text", {'h', 'e', 'l', 'l', 'o'}}}});
  }
  done(std::move(snapshot));
}

void SimulatedSaver::saveDocuments(const std::filesystem::path& rescueFolder,
                                   const std::set<std::string>&,
                                   const std::set<std::string>& excluding,
                                   std::function<void(SavePassOutput)> done) {
  SavePassOutput output;
  if (!excluding.contains("com.example.writer")) {
    output.results.push_back({.bundleID = "com.example.writer",
                              .appName = "Writer",
                              .outcome = SaverOutcome::saved,
                              .saved = 2});
  }
  if (!excluding.contains("com.example.notes")) {
    output.results.push_back({.bundleID = "com.example.notes",
                              .appName = "Notes",
                              .outcome = SaverOutcome::saved,
                              .rescued = 1,
                              .detail = "Saved a copy in the rescue folder."});
    output.rescued.push_back({.appBundleID = "com.example.notes",
                              .appName = "Notes",
                              .originalTitle = "Untitled",
                              .path = (rescueFolder / "Notes - Untitled.txt").string()});
  }
  done(std::move(output));
}

void SimulatedPowerSaver::apply(const BrimwellSettings& settings,
                                std::function<void(PowerSaverRecord)> done) {
  PowerSaverRecord record;
  if (settings.powerSaverLowPowerMode && !lowPowerMode) {
    lowPowerMode = true;
    record.turnedOnLowPowerMode = true;
  }
  if (settings.powerSaverDim && brightness > settings.dimTarget) {
    record.previousBrightness = brightness;
    record.dimmedTo = settings.dimTarget;
    brightness = settings.dimTarget;
  }
  done(record);
}

void SimulatedPowerSaver::restore(const PowerSaverRecord& record, std::function<void()> done) {
  if (record.turnedOnLowPowerMode) lowPowerMode = false;
  if (record.previousBrightness) brightness = *record.previousBrightness;
  done();
}

}  // namespace brimwell::simulation
