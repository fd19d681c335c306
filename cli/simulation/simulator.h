// Simulator: runs the real engine, over the real helper service and a simulated power tool, on a
// virtual clock through a scenario, and tells every step of what happened as a timeline entry.
// The machine sleeps when the power tool is told to, and a restart is a new boot over the same
// support directory; a start that offers a restore plans it. Deterministic; single-threaded:
// construct, run and destroy on one thread.
#pragma once

#include <asio/io_context.hpp>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/engine/manual_clock.h"
#include "cli/simulation/scenario.h"
#include "cli/simulation/service_helper.h"
#include "cli/simulation/simulated_collaborators.h"
#include "cli/simulation/simulated_pmset.h"
#include "cli/simulation/timeline.h"

namespace brimwell::simulation {

class Simulator {
 public:
  // How long the machine stays asleep after the power tool puts it to sleep.
  static constexpr int sleepSeconds = 300;

  // `support`: an existing directory for the engine's files (and the helper's record).
  Simulator(std::filesystem::path support, BrimwellSettings settings,
            std::function<void(const TimelineEntry&)> out);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Starts the engine, then plays the scenario; a step whose moment passed while the machine
  // slept runs on waking. Ends by stopping the engine.
  void run(const Scenario& scenario);

 private:
  void tell(Json fields);
  void buildEngine();
  void startEngine();
  void apply(const ScenarioStep& step);
  void act(ScenarioAction action);
  void passUntil(double at);
  void sleepIfAsked();
  void observe(const EngineState& next);
  void planRestore(const PendingRestore& offer);

  asio::io_context context_;
  std::filesystem::path support_;
  BrimwellPaths paths_;
  BrimwellSettings settings_;
  std::function<void(const TimelineEntry&)> out_;
  std::shared_ptr<ManualClock> clock_;
  std::shared_ptr<SimulatedBattery> battery_;
  std::shared_ptr<SimulatedMachine> machine_;
  std::shared_ptr<SimulatedCapturer> capturer_;
  std::shared_ptr<SimulatedSaver> saver_;
  std::shared_ptr<SimulatedPowerSaver> powerSaver_;
  std::shared_ptr<SimulatedPmset> pmset_;
  std::shared_ptr<ServiceHelper> helper_;
  std::shared_ptr<BrimwellEngine> engine_;
  std::optional<EngineState> seen_;
  int boots_ = 1;
  bool sleepAsked_ = false;
  bool asleep_ = false;
  bool starting_ = false;
};

}  // namespace brimwell::simulation
