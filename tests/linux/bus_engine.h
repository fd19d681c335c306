// For tests of the desktop collaborators on a private bus: running the io_context until something
// holds, logind's inhibitor list as the mock keeps it, and a real engine on the system clock with
// idle collaborators and a capturer the test watches (or hangs).
#pragma once

#include <asio/io_context.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/engine/snapshot_shell.h"
#include "brimwell/core/engine/system_clock.h"
#include "tests/support/private_bus.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

// Runs `context` until `done()` or `limit` has passed; whether `done()` came true.
inline bool runUntil(asio::io_context& context, const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    context.run_for(std::chrono::milliseconds(10));
    context.restart();
  }
  return true;
}

// logind's inhibitors as (what, who, why, mode), from the mock's ListInhibitors.
inline std::vector<std::tuple<std::string, std::string, std::string, std::string>> inhibitors(
    const PrivateBus& bus) {
  sd_bus* connection = bus.connect();
  sd_bus_message* reply = nullptr;
  std::vector<std::tuple<std::string, std::string, std::string, std::string>> listed;
  if (sd_bus_call_method(connection, "org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", "ListInhibitors", nullptr, &reply,
                         "") >= 0) {
    sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
    const char *what, *who, *why, *mode;
    uint32_t uid, pid;
    while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0) {
      listed.emplace_back(what, who, why, mode);
    }
  }
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(connection);
  return listed;
}

// Emits logind's `member` signal with one boolean, as logind does before and after sleep and
// before shutdown.
inline void emitLogind(const PrivateBus& bus, const char* member, bool value) {
  bus.mockCall("org.freedesktop.login1", "/org/freedesktop/login1", "EmitSignal", "sssav",
               "org.freedesktop.login1.Manager", member, "b", 1, "b", value ? 1 : 0);
}

class QuietBattery final : public BatteryMonitoring {
 public:
  std::optional<BatteryReading> currentReading() const override { return std::nullopt; }
  void start(std::function<void(BatteryReading)>) override {}
  void stop() override {}
};

class FixedMachine final : public SystemInfoProviding {
 public:
  std::string bootSessionUUID() override { return "boot-1"; }
  std::string hostModel() override { return "Test1,1"; }
};

// Answers each capture at once with a shell snapshot after running `during`, or never when
// `hang` is set.
class WatchedCapturer final : public WorkspaceCapturing {
 public:
  explicit WatchedCapturer(const EngineClock& clock) : clock_(clock) {}
  void capture(CaptureTrigger trigger, const std::optional<BatteryReading>& battery,
               const std::set<std::string>&, bool, std::function<void(Snapshot)> done) override {
    triggers.push_back(trigger);
    if (during) during();
    if (hang) return held.push_back(std::move(done));
    done(snapshotShell(clock_.now(), trigger, battery, machine_));
  }
  // Answers every held capture at last, so nothing of the engine's is left waiting on it.
  void release() {
    for (auto& done : std::exchange(held, {})) {
      done(snapshotShell(clock_.now(), CaptureTrigger::manual, std::nullopt, machine_));
    }
  }
  bool hang = false;
  std::function<void()> during;
  std::vector<CaptureTrigger> triggers;
  std::vector<std::function<void(Snapshot)>> held;

 private:
  const EngineClock& clock_;
  FixedMachine machine_;
};

class NoSaver final : public DocumentSaving {
 public:
  void saveDocuments(const std::filesystem::path&, const std::set<std::string>&,
                     const std::set<std::string>&,
                     std::function<void(SavePassOutput)> done) override {
    done({});
  }
};

class NoPowerSaving final : public PowerSaving {
 public:
  void apply(const BrimwellSettings&, std::function<void(PowerSaverRecord)> done) override {
    done(PowerSaverRecord::none());
  }
  void restore(const PowerSaverRecord&, std::function<void()> done) override { done(); }
};

class AbsentHelper final : public HelperControlling {
 public:
  void state(Completion<HelperState> done) override { done(helper_state::NotInstalled{}); }
  void lowPowerMode(Completion<Result<bool>> done) override { done(fail("absent")); }
  void setLowPowerMode(bool, Completion<Status> done) override { done(fail("absent")); }
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override {
    done(fail("absent"));
  }
  void setBatteryHibernateMode(std::int64_t, Completion<Status> done) override {
    done(fail("absent"));
  }
  void sleepNow(Completion<Status> done) override { done(fail("absent")); }
};

// A real engine on the system clock, its support directory in `dir`; not yet started.
struct BusEngine {
  explicit BusEngine(asio::io_context& context, const TempDir& dir)
      : paths{dir / "support", dir / "rescued"},
        clock(std::make_shared<SystemClock>(context)),
        capturer(std::make_shared<WatchedCapturer>(*clock)),
        snapshots(std::make_shared<SnapshotStore>(paths)),
        journal(std::make_shared<JournalStore>(paths)) {
    std::filesystem::create_directories(paths.support);
    engine = std::make_shared<BrimwellEngine>(
        context,
        BrimwellEngine::Collaborators{
            std::make_shared<QuietBattery>(), capturer, std::make_shared<NoSaver>(),
            std::make_shared<NoPowerSaving>(), std::make_shared<AbsentHelper>(),
            std::make_shared<FixedMachine>()},
        snapshots, journal, paths, [] { return BrimwellSettings::defaults(); }, "1.0", clock);
    engine->runInBackground = [](std::function<void()> work) { work(); };
  }
  ~BusEngine() {
    engine->stop();
    engine->finishBackgroundWork();
  }

  BrimwellPaths paths;
  std::shared_ptr<SystemClock> clock;
  std::shared_ptr<WatchedCapturer> capturer;
  std::shared_ptr<SnapshotStore> snapshots;
  std::shared_ptr<JournalStore> journal;
  std::shared_ptr<BrimwellEngine> engine;
};

}  // namespace brimwell::testing
