// A harness for engine tests: a manual clock whose wall and awake time the test advances,
// scripted collaborators whose completions the test controls, and a recorder of events and
// states. Nothing sleeps in real time: the io_context is polled after every step.
#pragma once

#include <asio/io_context.hpp>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

class FakeBatteryMonitor final : public BatteryMonitoring {
 public:
  std::optional<BatteryReading> currentReading() const override { return std::nullopt; }
  void start(std::function<void(BatteryReading)> onReading) override {
    onReading_ = std::move(onReading);
    ++starts;
  }
  void stop() override {
    onReading_ = nullptr;
    ++stops;
  }
  void deliver(const BatteryReading& reading) {
    if (onReading_) onReading_(reading);
  }
  int starts = 0, stops = 0;

 private:
  std::function<void(BatteryReading)> onReading_;
};

// Answers captures at once with a snapshot of the moment, unless told to hold them.
class ScriptedCapturer final : public WorkspaceCapturing {
 public:
  struct Call {
    CaptureTrigger trigger;
    std::function<void(Snapshot)> done;
  };

  explicit ScriptedCapturer(const EngineClock& clock) : clock_(clock) {}
  void capture(CaptureTrigger trigger, const std::optional<BatteryReading>&,
               const std::set<std::string>&, bool, std::function<void(Snapshot)> done) override {
    triggers.push_back(trigger);
    if (hold) return held.push_back({trigger, std::move(done)});
    done(make(trigger));
  }
  // A snapshot as the capturer would deliver it now.
  Snapshot make(CaptureTrigger trigger) const;
  void completeHeld() {  // the oldest held capture
    auto call = std::move(held.front());
    held.pop_front();
    call.done(make(call.trigger));
  }

  bool hold = false;
  std::vector<CaptureTrigger> triggers;  // every capture asked for, in order
  std::deque<Call> held;

 private:
  const EngineClock& clock_;
};

class ScriptedSaver final : public DocumentSaving {
 public:
  void saveDocuments(const std::filesystem::path& rescueFolder, const std::set<std::string>&,
                     const std::set<std::string>&,
                     std::function<void(SavePassOutput)> done) override {
    folders.push_back(rescueFolder);
    if (hold) return held.push_back(std::move(done));
    done(output);
  }
  void completeHeld() {
    auto done = std::move(held.front());
    held.pop_front();
    done(output);
  }

  bool hold = false;
  SavePassOutput output;  // what every pass reports
  std::vector<std::filesystem::path> folders;
  std::deque<std::function<void(SavePassOutput)>> held;
};

class FakePowerSaver final : public PowerSaving {
 public:
  void apply(const BrimwellSettings&, std::function<void(PowerSaverRecord)> done) override {
    ++applies;
    done(applied);
  }
  void restore(const PowerSaverRecord&, std::function<void()> done) override { done(); }
  // The first `undosLeavingDimming` undos can't put the brightness back; later ones undo as the
  // real default does.
  void undo(const PowerSaverRecord& record, std::function<void(PowerSaverRecord)> done) override {
    if (++undos > undosLeavingDimming) return PowerSaving::undo(record, std::move(done));
    PowerSaverRecord left = PowerSaverRecord::none();
    left.previousBrightness = record.previousBrightness;
    left.dimmedTo = record.dimmedTo;
    done(left);
  }

  int undosLeavingDimming = 0, undos = 0;
  PowerSaverRecord applied{
      .turnedOnLowPowerMode = true, .previousBrightness = 0.8, .dimmedTo = 0.4};
  int applies = 0;
};

// Records every call by name; answers at once with the scripted results.
class FakeHelper final : public HelperControlling {
 public:
  void state(Completion<HelperState> done) override { answer("state", done, ready()); }
  void lowPowerMode(Completion<Result<bool>> done) override {
    answer("lowPowerMode", done, Result<bool>(false));
  }
  void setLowPowerMode(bool on, Completion<Status> done) override {
    answer(on ? "setLowPowerMode on" : "setLowPowerMode off", done, Status());
  }
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override {
    answer("batteryHibernateMode", done, hibernateMode);
  }
  void setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) override {
    answer("setBatteryHibernateMode " + std::to_string(mode), done, Status());
  }
  void sleepNow(Completion<Status> done) override {
    answer("sleepNow", done, failSleep ? Status(fail("pmset sleepnow failed (1): no")) : Status());
  }
  void beginSafeLanding(Completion<Status> done) override {
    calls.push_back("beginSafeLanding");
    if (onBeginSafeLanding) onBeginSafeLanding();
    if (!failBegin && hibernateMode) hibernateMode = std::int64_t{25};
    done(failBegin ? Status(fail("Refused.")) : Status());
  }
  void endSafeLanding(Completion<Status> done) override {
    answer("endSafeLanding", done,
           failEnd ? Status(fail("pmset -b hibernatemode failed")) : Status());
  }
  void sleepDisabled(Completion<std::optional<bool>> done) override {
    answer("sleepDisabled", done, sleepIsDisabled);
  }
  void removeAll(Completion<Status> done) override {
    answer("removeAll", done, failRemove ? Status(fail("The helper can't be removed.")) : Status());
  }
  void updateIfOutOfDate(Completion<HelperState> done) override {
    answer("updateIfOutOfDate", done, ready());
  }

  Result<std::int64_t> hibernateMode = std::int64_t{3};
  std::optional<bool> sleepIsDisabled;
  bool failBegin = false, failSleep = false, failEnd = false, failRemove = false;
  std::vector<std::string> calls;
  // Sees the power-saver file at the moment beginSafeLanding is called.
  std::function<void()> onBeginSafeLanding;

 private:
  static HelperState ready() { return helper_state::Ready{}; }
  template <class T>
  void answer(std::string call, Completion<T>& done, std::type_identity_t<T> value) {
    calls.push_back(std::move(call));
    done(std::move(value));
  }
};

class FakeSystemInfo final : public SystemInfoProviding {
 public:
  std::string bootSessionUUID() override { return boot; }
  std::string hostModel() override { return model; }
  std::string boot = "boot-1";
  std::string model = "Laptop1,1";
};

// A manual-clock engine over a temporary support directory.
class EngineHarness {
 public:
  EngineHarness();
  ~EngineHarness();

  // A new engine in the same support directory, as after a crash and restart of the process.
  void restartEngine();
  ShutdownVerdict start() {
    auto verdict = engine->start();
    poll();
    return verdict;
  }

  // Delivers a reading now, then lets the engine react.
  void reading(int percent, PowerSource source, std::optional<int> minutes = std::nullopt);
  void advance(double seconds) { clock->advance(seconds); }
  // The machine sleeps: nothing runs, and wall-clock timers that came due run on waking.
  void sleep(double seconds);
  void poll() { clock->drain(); }  // runs every ready handler, and those they make ready

  std::optional<SnapshotSummary> captureNow();  // waits (in polls) for the answer
  std::vector<Snapshot> storedSnapshots() const;
  std::optional<PowerSaverRecord> powerSaverFile() const {
    return PowerSaverRecord::load(paths.powerSaverRecord());
  }
  std::optional<Journal> journal() const { return journalStore->read(); }

  // Events as text, e.g. "enteredPhase landing 3", "captureFailed <message>".
  std::vector<std::string> events;

  TempDir dir;
  asio::io_context context;
  BrimwellPaths paths;
  BrimwellSettings settings;
  std::shared_ptr<ManualClock> clock;
  std::shared_ptr<FakeBatteryMonitor> battery;
  std::shared_ptr<ScriptedCapturer> capturer;
  std::shared_ptr<ScriptedSaver> saver;
  std::shared_ptr<FakePowerSaver> powerSaver;
  std::shared_ptr<FakeHelper> helper;
  std::shared_ptr<FakeSystemInfo> systemInfo;
  std::shared_ptr<SnapshotStore> snapshots;
  std::shared_ptr<JournalStore> journalStore;
  std::optional<std::string> passedModel;
  std::shared_ptr<BrimwellEngine> engine;

 private:
  void build();
};

std::string describe(const EngineEvent& event);

}  // namespace brimwell::testing
