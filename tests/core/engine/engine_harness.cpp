#include "tests/core/engine/engine_harness.h"

namespace brimwell::testing {

Snapshot ScriptedCapturer::make(CaptureTrigger trigger) const {
  Snapshot snapshot;
  snapshot.meta.createdAt = clock_.now();
  snapshot.id = SnapshotID::make(snapshot.meta.createdAt);
  snapshot.meta.trigger = trigger;
  snapshot.meta.bootSessionUUID = "boot";
  snapshot.meta.hostModel = "Laptop1,1";
  snapshot.apps.push_back(
      {.bundleID = "com.example.writer", .path = "/Applications/Writer.app", .name = "Writer"});
  return snapshot;
}

std::string describe(const EngineEvent& event) {
  using namespace engine_event;
  if (auto e = std::get_if<EnteredPhase>(&event)) {
    return "enteredPhase " + std::string(toString(e->phase)) + " " +
           std::to_string(e->reading.percent);
  }
  if (auto e = std::get_if<SavePassFinished>(&event)) {
    return "savePassFinished " + std::to_string(e->results.size()) + " " +
           std::string(toString(e->snapshot.trigger));
  }
  if (auto e = std::get_if<PluggedIn>(&event))
    return "pluggedIn " + std::to_string(e->reading.percent);
  if (auto e = std::get_if<Unplugged>(&event))
    return "unplugged " + std::to_string(e->reading.percent);
  if (auto e = std::get_if<CaptureFailed>(&event)) return "captureFailed " + e->message;
  if (auto e = std::get_if<SafeLandingFailed>(&event)) return "safeLandingFailed " + e->message;
  return "safeLandingStarting";
}

EngineHarness::EngineHarness()
    : paths(BrimwellPaths{dir / "support", dir / "rescued"}),
      clock(std::make_shared<ManualClock>(context, *BrimwellJSON::parse("2026-03-01T12:00:00Z"))),
      battery(std::make_shared<FakeBatteryMonitor>()),
      capturer(std::make_shared<ScriptedCapturer>(*clock)),
      saver(std::make_shared<ScriptedSaver>()),
      powerSaver(std::make_shared<FakePowerSaver>()),
      helper(std::make_shared<FakeHelper>()),
      systemInfo(std::make_shared<FakeSystemInfo>()) {
  build();
}

EngineHarness::~EngineHarness() {
  if (engine) engine->stop();
  poll();
  engine.reset();
  context.poll();
}

void EngineHarness::build() {
  snapshots = std::make_shared<SnapshotStore>(paths);
  journalStore = std::make_shared<JournalStore>(paths);
  engine = std::make_shared<BrimwellEngine>(
      context,
      BrimwellEngine::Collaborators{battery, capturer, saver, powerSaver, helper, systemInfo},
      snapshots, journalStore, paths, [this] { return settings; }, "1.0", clock);
  engine->onEvent = [this](const EngineEvent& event) { events.push_back(describe(event)); };
  engine->safeLandingPassedModel = [this] { return passedModel; };
  // Snapshot writes run inline, so every step of a test finishes before the next.
  engine->runInBackground = [](std::function<void()> work) { work(); };
}

void EngineHarness::restartEngine() {
  if (engine) engine->stop();
  poll();
  engine.reset();
  poll();
  build();
}

void EngineHarness::reading(int percent, PowerSource source, std::optional<int> minutes) {
  battery->deliver(BatteryReading{.percent = percent,
                                  .powerSource = source,
                                  .isCharging = source == PowerSource::ac && percent < 100,
                                  .minutesToEmpty = minutes,
                                  .timestamp = clock->now()});
  poll();
}

void EngineHarness::sleep(double seconds) {
  clock->sleep(seconds);
  clock->advance(0);  // wall-clock timers that came due during the sleep run on waking
}

std::optional<SnapshotSummary> EngineHarness::captureNow() {
  std::optional<std::optional<SnapshotSummary>> answer;
  engine->captureNow([&](std::optional<SnapshotSummary> summary) { answer = summary; });
  poll();
  return answer.value_or(std::nullopt);
}

std::vector<Snapshot> EngineHarness::storedSnapshots() const {
  std::vector<Snapshot> result;
  for (const auto& id : snapshots->ids()) {
    if (auto snapshot = snapshots->load(id)) result.push_back(*snapshot);
  }
  return result;
}

}  // namespace brimwell::testing
