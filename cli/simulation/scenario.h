// Scenario: what happens to the simulated machine, in time order: battery states (as fake
// battery text or as full readings) and operations on the engine or the machine. Read from
// JSON lines; a malformed line makes the whole scenario fail with one sentence naming the line.
// Plain values and pure functions; any thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brimwell/core/base/enum_text.h"
#include "brimwell/core/base/error.h"
#include "brimwell/core/power/battery_reading.h"

namespace brimwell::simulation {

enum class ScenarioAction {
  captureNow,
  runDrill,
  clearDrill,
  systemWillSleep,
  systemDidWake,
  markCleanExit,
  stop,
  start,
  restart,  // a new boot: the process and the machine start again
};

struct ScenarioStep {
  double at = 0;  // seconds since the start of the run
  // A reading whose timestamp is set when it is delivered, or an action.
  std::variant<BatteryReading, ScenarioAction> what;
  friend bool operator==(const ScenarioStep&, const ScenarioStep&) = default;
};

using Scenario = std::vector<ScenarioStep>;

// The steps of a JSON-lines text: {"at":S,"battery":"62,ac"}, {"at":S,"reading":{..}} or
// {"at":S,"do":"captureNow"}; blank lines are skipped, and times never go back. Fails with e.g.
// "Line 3 of the scenario has no \"battery\", \"reading\" or \"do\"."
Result<Scenario> parseScenario(std::string_view text);

// The built-in discharge: on the adapter at 62 %, pulled at 60 %, then a reading every 30 s
// with noisy minutes to empty down to 2 %, and a restart after the last reading.
Scenario builtInDischarge();

}  // namespace brimwell::simulation

namespace brimwell {
template <>
struct EnumNames<simulation::ScenarioAction> {
  static constexpr std::array<std::string_view, 9> names = {
      "captureNow",    "runDrill", "clearDrill", "systemWillSleep", "systemDidWake",
      "markCleanExit", "stop",     "start",      "restart"};
};
}  // namespace brimwell
