#include "cli/watch_command.h"

#include <asio/signal_set.hpp>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/engine/system_clock.h"
#include "brimwell/core/helper/helper_client.h"
#include "brimwell/core/rescue/ledger_recording_saver.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/simulation/engine_report.h"
#include "cli/simulation/timeline.h"
#include "cli/support_option.h"
#include "cli/watch_collaborators.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/linux_system_info.h"
#include "linux/save/linux_document_saver.h"
#include "linux/settings_watcher.h"
#include "linux/sysfs_battery_monitor.h"
#include "linux/xdg_locations.h"

namespace brimwell::cli {
namespace {

struct WatchOptions {
  std::string support;
  std::string fakeBattery;
  std::string sysfs = SysfsBatteryMonitor::defaultRoot;
};

// "2026-03-01T14:05:09.250Z  {"event":"enteredPhase",...}"
void print(const EngineClock& clock, const Json& fields) {
  std::cout << BrimwellJSON::format(clock.now()) << "  " << BrimwellJSON::dump(fields) << std::endl;
}

Result<BrimwellPaths> watchPaths(const std::string& support) {
  if (support.empty()) {
    auto locations = XdgLocations::resolve(XdgLocations::processEnvironment());
    if (!locations) return Unexpected(std::move(locations).error());
    return locations->paths;
  }
  std::error_code error;
  std::filesystem::create_directories(support, error);
  if (!std::filesystem::is_directory(support, error)) {
    return fail("The support directory " + support + " can't be made.");
  }
  return BrimwellPaths{support, std::filesystem::path(support) / "Rescued"};
}

int runWatch(const WatchOptions& options) {
  std::optional<FakeBatterySpec> fakeBattery;
  if (!options.fakeBattery.empty()) {
    fakeBattery = FakeBatterySpec::parse(options.fakeBattery);
    if (!fakeBattery) {
      return reportFailure(
          "The fake battery \"" + options.fakeBattery + "\" isn't like \"20,battery,35\".", 2);
    }
  }
  auto paths = watchPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());

  asio::io_context context;
  // The user's settings, re-read whenever the settings file changes.
  auto locations = XdgLocations::resolve(XdgLocations::processEnvironment());
  if (!locations) return reportFailure(locations.error().message());
  SettingsWatcher settings(context, locations->settingsFile);
  if (auto problem = settings.current().problem) std::cerr << *problem << '\n';
  auto clock = std::make_shared<SystemClock>(context);
  auto machine = std::make_shared<LinuxSystemInfo>();
  std::shared_ptr<BatteryMonitoring> battery;
  if (fakeBattery) {
    battery = std::make_shared<FixedBattery>(context, *clock, *fakeBattery);
  } else {
    battery = std::make_shared<SysfsBatteryMonitor>(options.sysfs);
  }
  DesktopServices desktop(context);
  auto capturer =
      std::make_shared<LinuxWorkspaceCapturer>(LinuxCaptureSources::forSession(), *clock, *machine);
  // Every pass's rescue copies go into the ledger that `brimwell rescued` lists.
  auto saver = std::make_shared<LedgerRecordingSaver>(std::make_shared<LinuxDocumentSaver>(),
                                                      std::make_shared<RescueLedger>(*paths),
                                                      [clock] { return clock->now(); });
  auto engine = std::make_shared<BrimwellEngine>(
      context,
      BrimwellEngine::Collaborators{battery, capturer, saver, desktop.powerSaver, desktop.helper,
                                    machine},
      std::make_shared<SnapshotStore>(*paths), std::make_shared<JournalStore>(*paths), *paths,
      [&settings] { return settings.current().settings; }, "1.0", clock, desktop.activity);
  std::optional<EngineState> seen;
  engine->onState = [&](const EngineState& state) {
    for (const auto& change : simulation::stateChanges(seen, state)) print(*clock, change);
    seen = state;
  };
  engine->onEvent = [&](const EngineEvent& event) {
    print(*clock, simulation::eventFields(event));
    desktop.tell(event);
  };

  // Sleep, wake and power-off reach the engine, and its events and restore offer the user.
  desktop.attach(engine, options.support);
  asio::signal_set signals(context, SIGTERM, SIGINT);
  signals.async_wait([&](std::error_code error, int) {
    if (error) return;
    engine->markCleanExit(ExitReason::sigterm);
    engine->stop();
    desktop.stop();
    settings.stop();
    context.stop();
  });

  Status following = settings.watch([&](const SettingsFileReading& reading) {
    if (reading.problem) std::cerr << *reading.problem << '\n';
    engine->settingsDidChange();
  });
  if (!following) std::cerr << following.error().message() << '\n';

  const ShutdownVerdict verdict = engine->start();
  desktop.offerPendingRestore();
  print(*clock, {{"start", verdict.kind() ? std::string(toString(*verdict.kind())) : "none"},
                 {"boot", machine->bootSessionUUID()},
                 {"model", machine->hostModel()}});
  context.run();
  // A capture still running answers into the context, which goes away with this function: wait
  // for it here, and close the engine to answers that come later still (a save pass, say).
  capturer->shutdown();
  engine->finishBackgroundWork();
  engine.reset();
  return 0;
}

}  // namespace

void addWatchCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<WatchOptions>();
  auto* command = app.add_subcommand(
      "watch", "Run the engine in the foreground on this machine's battery until interrupted");
  command->add_option("--support", options->support,
                      "The support directory to use, with rescued documents in its Rescued "
                      "folder (default: the current user's standard ones)");
  command->add_option("--fake-battery", options->fakeBattery,
                      "A fixed battery instead of the real one, e.g. 20,battery,35");
  command->add_option("--sysfs", options->sysfs, "The power-supply class directory to read");
  command->callback([options, &status] { status = runWatch(*options); });
}

}  // namespace brimwell::cli
