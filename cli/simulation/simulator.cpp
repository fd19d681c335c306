#include "cli/simulation/simulator.h"

#include <unistd.h>

#include "brimwell/core/restore/restore_planner.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/simulation/engine_report.h"
#include "helper/helper_record_store.h"

namespace brimwell::simulation {
namespace {

// The helper daemon's version in a simulation; any value serves, nothing compares it.
constexpr std::int64_t simulatedHelperVersion = 2;

Json readingFields(const BatteryReading& reading) {
  Json fields = {{"percent", reading.percent},
                 {"powerSource", std::string(toString(reading.powerSource))}};
  if (reading.minutesToEmpty) fields["minutesToEmpty"] = *reading.minutesToEmpty;
  return fields;
}

}  // namespace

Simulator::Simulator(std::filesystem::path support, BrimwellSettings settings,
                     std::function<void(const TimelineEntry&)> out)
    : support_(std::move(support)),
      paths_{support_, support_ / "Rescued"},
      settings_(std::move(settings)),
      out_(std::move(out)),
      clock_(std::make_shared<ManualClock>(context_, *BrimwellJSON::parse("2026-03-01T12:00:00Z"))),
      battery_(std::make_shared<SimulatedBattery>()),
      machine_(std::make_shared<SimulatedMachine>()),
      capturer_(std::make_shared<SimulatedCapturer>(*clock_, *machine_)),
      saver_(std::make_shared<SimulatedSaver>()),
      powerSaver_(std::make_shared<SimulatedPowerSaver>()),
      pmset_(std::make_shared<SimulatedPmset>()) {
  auto store =
      std::make_shared<HelperRecordStore>((support_ / "helper-state.json").string(), ::getuid());
  auto service = std::make_shared<HelperService>(pmset_, store, simulatedHelperVersion);
  helper_ = std::make_shared<ServiceHelper>(service);
  helper_->onCall = [this](const std::string& call) { tell({{"helper", call}}); };
  pmset_->onCommand = [this](const std::string& line) {
    tell({{"pmset", line}});
    if (line == "pmset sleepnow") sleepAsked_ = true;
  };
}

Simulator::~Simulator() {
  if (engine_) engine_->stop();
  clock_->drain();
  engine_.reset();
  clock_->drain();
}

void Simulator::tell(Json fields) { out_(TimelineEntry{clock_->elapsed(), std::move(fields)}); }

void Simulator::buildEngine() {
  auto snapshots = std::make_shared<SnapshotStore>(paths_);
  auto journal = std::make_shared<JournalStore>(paths_);
  engine_ = std::make_shared<BrimwellEngine>(
      context_,
      BrimwellEngine::Collaborators{battery_, capturer_, saver_, powerSaver_, helper_, machine_},
      snapshots, journal, paths_, [this] { return settings_; }, "1.0", clock_);
  engine_->onEvent = [this](const EngineEvent& event) { tell(eventFields(event)); };
  engine_->onState = [this](const EngineState& state) { observe(state); };
  // Safe Landing has been proven on the simulated model; the settings still decide.
  engine_->safeLandingPassedModel = [] { return std::string(SimulatedMachine::model); };
  // Snapshot writes run inline, so every step finishes before time moves on.
  engine_->runInBackground = [](std::function<void()> work) { work(); };
  seen_.reset();
}

void Simulator::startEngine() {
  starting_ = true;
  const ShutdownVerdict verdict = engine_->start();
  starting_ = false;
  Json fields = {{"start", verdict.kind() ? std::string(toString(*verdict.kind())) : "none"},
                 {"boot", machine_->bootSessionUUID()}};
  if (auto id = verdict.snapshotID()) fields["snapshot"] = *id;
  tell(std::move(fields));
  clock_->drain();
  if (engine_->pendingRestore()) planRestore(*engine_->pendingRestore());
}

void Simulator::planRestore(const PendingRestore& offer) {
  auto snapshot = SnapshotStore(paths_).load(offer.snapshot.id);
  if (!snapshot) {
    tell({{"restorePlan", nullptr}, {"snapshot", offer.snapshot.id}});
    return;
  }
  const RestorePlan plan =
      RestorePlanner::plan(*snapshot, RestoreSelection::everything(), CurrentWorkspace{});
  Json steps = Json::array();
  for (const auto& step : plan.steps) steps.push_back(std::string(step.name()));
  tell({{"restorePlan", plan.snapshotID}, {"steps", steps}});
}

void Simulator::observe(const EngineState& next) {
  auto changes = stateChanges(seen_, next);
  seen_ = next;
  for (auto& change : changes) {
    // The newest snapshot a start finds was stored by an earlier engine.
    if (starting_ && change.contains("trigger")) continue;
    tell(std::move(change));
  }
}

void Simulator::run(const Scenario& scenario) {
  buildEngine();
  startEngine();
  sleepIfAsked();
  for (const auto& step : scenario) {
    passUntil(step.at);
    apply(step);
    clock_->drain();
    sleepIfAsked();
  }
  if (engine_) engine_->stop();
  clock_->drain();
}

void Simulator::passUntil(double at) {
  while (clock_->elapsed() < at) {
    const double remaining = at - clock_->elapsed();
    if (asleep_) {
      clock_->sleep(remaining);
      break;
    } else {
      clock_->advance(remaining, [this] { return sleepAsked_; });
    }
    sleepIfAsked();
  }
}

void Simulator::sleepIfAsked() {
  if (!sleepAsked_ || !engine_) return;
  sleepAsked_ = false;
  tell({{"machine", "sleep"}, {"seconds", static_cast<int>(sleepSeconds)}});
  engine_->systemWillSleep();
  clock_->drain();
  clock_->sleep(sleepSeconds);
  tell({{"machine", "wake"}});
  engine_->systemDidWake();
  clock_->advance(0);  // what came due during the sleep runs now
}

void Simulator::apply(const ScenarioStep& step) {
  if (const auto* action = std::get_if<ScenarioAction>(&step.what)) return act(*action);
  BatteryReading reading = std::get<BatteryReading>(step.what);
  reading.timestamp = clock_->now();
  pmset_->onBattery = reading.powerSource == PowerSource::battery;
  tell({{"reading", readingFields(reading)}});
  battery_->deliver(reading);
}

void Simulator::act(ScenarioAction action) {
  tell({{"do", std::string(toString(action))}});
  auto answered = [this, action](std::optional<SnapshotSummary> summary) {
    Json fields = {{"answered", std::string(toString(action))}, {"snapshot", nullptr}};
    if (summary) fields["snapshot"] = summary->id;
    tell(std::move(fields));
  };
  switch (action) {
    case ScenarioAction::captureNow:
      return engine_->captureNow(answered);
    case ScenarioAction::runDrill:
      return engine_->runDrill(answered);
    case ScenarioAction::clearDrill:
      return engine_->clearDrill();
    case ScenarioAction::systemWillSleep:
      asleep_ = true;
      return engine_->systemWillSleep();
    case ScenarioAction::systemDidWake:
      asleep_ = false;
      return engine_->systemDidWake();
    case ScenarioAction::markCleanExit:
      return engine_->markCleanExit();
    case ScenarioAction::stop:
      return engine_->stop();
    case ScenarioAction::start:
      return startEngine();
    case ScenarioAction::restart:
      // The power went: no clean exit, no stop. The machine boots again with its display at the
      // usual brightness; the power tool's settings survive.
      engine_.reset();
      clock_->drain();
      asleep_ = false;
      ++boots_;
      machine_->boot = "11111111-2222-4333-8444-00000000000" + std::to_string(boots_ % 10);
      powerSaver_->brightness = 0.8;
      powerSaver_->lowPowerMode = pmset_->batteryLowPowerMode;
      buildEngine();
      return startEngine();
  }
}

}  // namespace brimwell::simulation
