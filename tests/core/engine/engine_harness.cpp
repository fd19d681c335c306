#include "tests/core/engine/engine_harness.h"

#include <algorithm>
#include <chrono>

#include "core/storage/read_file.h"

namespace brimwell::testing {

std::size_t ManualClock::pendingTimers() const {
  return std::count_if(timers_.begin(), timers_.end(),
                       [](const auto& t) { return t->body != nullptr; });
}

std::shared_ptr<Cancellable> ManualClock::add(bool awake, double seconds,
                                              std::function<void()> body) {
  auto timer = std::make_shared<Timer>();
  timer->awake = awake;
  timer->due = (awake ? awake_ : wall_) + std::max(0.0, seconds);
  timer->order = nextOrder_++;
  timer->body = std::move(body);
  timers_.push_back(timer);
  return timer;
}

void ManualClock::pass(double seconds, bool awake) {
  const double end = wall_ + seconds;
  for (;;) {
    drain();
    // The next timer to fire within the span, as a wall-clock moment.
    std::shared_ptr<Timer> next;
    double nextWall = 0;
    for (const auto& timer : timers_) {
      if (!timer->body) continue;
      if (timer->awake && !awake) continue;
      const double wall = timer->awake ? wall_ + (timer->due - awake_) : timer->due;
      if (wall > end) continue;
      if (!next || wall < nextWall || (wall == nextWall && timer->order < next->order)) {
        next = timer;
        nextWall = wall;
      }
    }
    if (!next) break;
    const double step = std::max(0.0, nextWall - wall_);
    wall_ += step;
    if (awake) awake_ += step;
    now_ += std::chrono::nanoseconds(static_cast<std::int64_t>(step * 1e9));
    auto body = std::move(next->body);
    next->body = nullptr;
    std::erase_if(timers_, [](const auto& t) { return t->body == nullptr; });
    body();
  }
  const double step = end - wall_;
  wall_ = end;
  if (awake) awake_ += step;
  now_ += std::chrono::nanoseconds(static_cast<std::int64_t>(step * 1e9));
  drain();
}

void ManualClock::drain() {
  do {
    context_.restart();
  } while (context_.poll() > 0);
}

void ScriptedCapturer::capture(CaptureTrigger trigger, const std::optional<BatteryReading>&,
                               const std::set<std::string>&, bool,
                               std::function<void(Snapshot)> done) {
  triggers.push_back(trigger);
  if (hold) {
    held.push_back({trigger, std::move(done)});
    return;
  }
  done(make(trigger));
}

Snapshot ScriptedCapturer::make(CaptureTrigger trigger) const {
  Snapshot snapshot;
  snapshot.meta.createdAt = clock_.now();
  snapshot.id = SnapshotID::make(snapshot.meta.createdAt);
  snapshot.meta.trigger = trigger;
  snapshot.meta.bootSessionUUID = "boot";
  snapshot.meta.hostModel = "Laptop1,1";
  AppRecord app;
  app.bundleID = "com.example.writer";
  app.path = "/Applications/Writer.app";
  app.name = "Writer";
  snapshot.apps.push_back(app);
  return snapshot;
}

void ScriptedCapturer::completeHeld() {
  auto call = std::move(held.front());
  held.pop_front();
  call.done(make(call.trigger));
}

void ScriptedSaver::saveDocuments(const std::filesystem::path& rescueFolder,
                                  const std::set<std::string>&, const std::set<std::string>&,
                                  std::function<void(SavePassOutput)> done) {
  folders.push_back(rescueFolder);
  if (hold) {
    held.push_back(std::move(done));
    return;
  }
  done(output);
}

void ScriptedSaver::completeHeld() {
  auto done = std::move(held.front());
  held.pop_front();
  done(output);
}

void FakeHelper::beginSafeLanding(Completion<Status> done) {
  calls.push_back("beginSafeLanding");
  if (onBeginSafeLanding) onBeginSafeLanding();
  if (!failBegin && hibernateMode) hibernateMode = std::int64_t{25};
  done(failBegin ? Status(fail("Refused.")) : Status());
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
  engine->onState = [this](const EngineState& state) { states.push_back(state); };
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

ShutdownVerdict EngineHarness::start() {
  auto verdict = engine->start();
  poll();
  return verdict;
}

void EngineHarness::reading(int percent, PowerSource source, std::optional<int> minutes) {
  battery->deliver(BatteryReading{.percent = percent,
                                  .powerSource = source,
                                  .isCharging = source == PowerSource::ac && percent < 100,
                                  .minutesToEmpty = minutes,
                                  .timestamp = clock->now()});
  poll();
}

void EngineHarness::advance(double seconds) { clock->advance(seconds); }
void EngineHarness::sleep(double seconds) { clock->sleep(seconds); }

void EngineHarness::poll() {
  // Runs every handler that is ready, and those they make ready, until none is left.
  do {
    context.restart();
  } while (context.poll() > 0);
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

std::optional<PowerSaverRecord> EngineHarness::powerSaverFile() const {
  return PowerSaverRecord::load(paths.powerSaverRecord());
}

}  // namespace brimwell::testing
