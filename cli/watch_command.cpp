#include "cli/watch_command.h"

#include <asio/post.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/engine/system_clock.h"
#include "brimwell/core/helper/helper_client.h"
#include "brimwell/core/rescue/ledger_recording_saver.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/simulation/engine_report.h"
#include "cli/simulation/timeline.h"
#include "cli/support_option.h"
#include "cli/watch_collaborators.h"
#include "cli/watch_status_item.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/doctor/machine_probe.h"
#include "linux/doctor/missing_notice.h"
#include "linux/gnome_extension.h"
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

// Tells the user once, through a notification, what `brimwell doctor` finds missing; a set
// already told isn't told again, and nothing is asked.
void tellWhatIsMissing(DesktopServices& desktop, const MissingNoticeRecord& record,
                       const std::vector<DoctorRow>& rows) {
  const auto notice = record.due(rows);
  if (notice && !desktop.notify(*notice)) return;  // told when a server is there to show it
  if (notice || missingChecks(rows).empty()) {
    if (auto recorded = record.record(missingChecks(rows)); !recorded) {
      std::cerr << recorded.error().message() << '\n';
    }
  }
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
  auto snapshots = std::make_shared<SnapshotStore>(*paths);
  auto engine = std::make_shared<BrimwellEngine>(
      context,
      BrimwellEngine::Collaborators{battery, capturer, saver, desktop.powerSaver, desktop.helper,
                                    machine},
      snapshots, std::make_shared<JournalStore>(*paths), *paths,
      [&settings] { return settings.current().settings; }, "1.0", clock, desktop.activity);
  // Ends the watch, on a signal or from the status icon's menu.
  std::function<void(ExitReason)> finish;
  WatchStatusItem statusItem(
      context, desktop.sessionBus(), engine, snapshots,
      {.restore = [&](const std::string& id) { startRestore(id, options.support); },
       .quit = [&] { finish(ExitReason::quit); },
       .settingsFile = locations->settingsFile});
  std::optional<EngineState> seen;
  engine->onState = [&](const EngineState& state) {
    for (const auto& change : simulation::stateChanges(seen, state)) print(*clock, change);
    seen = state;
    statusItem.show(state);
  };
  engine->onEvent = [&](const EngineEvent& event) {
    print(*clock, simulation::eventFields(event));
    desktop.tell(event);
  };

  // Sleep, wake and power-off reach the engine, and its events and restore offer the user.
  desktop.attach(engine, options.support);
  asio::signal_set signals(context, SIGTERM, SIGINT);
  finish = [&](ExitReason reason) {
    engine->markCleanExit(reason);
    engine->stop();
    statusItem.stop();
    desktop.stop();
    settings.stop();
    signals.cancel();
    context.stop();
  };
  signals.async_wait([&](std::error_code error, int) {
    if (!error) finish(ExitReason::sigterm);
  });

  Status following = settings.watch([&](const SettingsFileReading& reading) {
    if (reading.problem) std::cerr << *reading.problem << '\n';
    engine->settingsDidChange();
  });
  if (!following) std::cerr << following.error().message() << '\n';

  const ShutdownVerdict verdict = engine->start();
  statusItem.start();
  desktop.offerPendingRestore();
  print(*clock, {{"start", verdict.kind() ? std::string(toString(*verdict.kind())) : "none"},
                 {"boot", machine->bootSessionUUID()},
                 {"model", machine->hostModel()}});
  // The machine's checks block for a few seconds at most, so they run beside the loop.
  std::thread doctor([&context, &desktop, record = MissingNoticeRecord(paths->support)] {
    // The first watch on GNOME turns Brimwell's Shell extension on; what it can't do, the
    // notice below tells.
    if (!record.told() &&
        chooseDesktopBackend(SessionEnvironment::fromProcess()) == DesktopBackendKind::gnome) {
      DeadlineBus session(DeadlineBus::Kind::session, std::chrono::seconds(5));
      (void)setUpShellExtension(session);
    }
    auto rows = doctorRows(probeMachine(ProbeOptions::forProcess()));
    asio::post(context, [&desktop, record, rows = std::move(rows)] {
      tellWhatIsMissing(desktop, record, rows);
    });
  });
  context.run();
  doctor.join();
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
