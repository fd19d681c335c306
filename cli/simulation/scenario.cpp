#include "cli/simulation/scenario.h"

#include <cmath>
#include <cstdint>

#include "brimwell/core/power/fake_battery_spec.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell::simulation {
namespace {

// The reason as the tail of a sentence: no final full stop, first letter lower case.
std::string clause(std::string reason) {
  while (!reason.empty() && (reason.back() == '.' || reason.back() == '\n')) reason.pop_back();
  if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z' &&
      !(reason.size() > 1 && reason[1] >= 'A' && reason[1] <= 'Z')) {
    reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
  }
  return reason;
}

Error lineError(std::size_t line, const std::string& problem) {
  return Error("Line " + std::to_string(line) + " of the scenario " + problem + ".");
}

Result<ScenarioStep> parseLine(std::string_view text, std::size_t line) {
  auto tree = BrimwellJSON::parseTree(text);
  if (!tree) return Unexpected(lineError(line, "is not JSON"));
  const Json& json = *tree;
  if (!json.is_object()) return Unexpected(lineError(line, "is not a JSON object"));
  const auto at = json.find("at");
  if (at == json.end() || !at->is_number() || !std::isfinite(at->get<double>()) ||
      at->get<double>() < 0) {
    return Unexpected(lineError(line, "has no \"at\" of zero or more seconds"));
  }
  ScenarioStep step{.at = at->get<double>()};
  const int kinds =
      int(json.contains("battery")) + int(json.contains("reading")) + int(json.contains("do"));
  if (kinds != 1) {
    return Unexpected(lineError(line, "has not exactly one of \"battery\", \"reading\" or \"do\""));
  }
  if (auto battery = json.find("battery"); battery != json.end()) {
    std::optional<FakeBatterySpec> fakeBattery;
    if (battery->is_string()) fakeBattery = FakeBatterySpec::parse(battery->get<std::string>());
    if (!fakeBattery) {
      return Unexpected(lineError(line, "has a \"battery\" that isn't like \"20,battery,35\""));
    }
    step.what = fakeBattery->reading(Date{});
    return step;
  }
  if (auto reading = json.find("reading"); reading != json.end()) {
    if (!reading->is_object())
      return Unexpected(lineError(line, "has a \"reading\" that isn't an object"));
    Json withTime = *reading;
    withTime["timestamp"] = BrimwellJSON::format(Date{});  // set again when delivered
    auto decoded = BrimwellJSON::decodeTree<BatteryReading>(withTime);
    if (!decoded) {
      return Unexpected(lineError(
          line, "has a reading that doesn't decode: " + clause(decoded.error().message())));
    }
    if (decoded->percent < 0 || decoded->percent > 100) {
      return Unexpected(lineError(line, "has a percent outside 0 to 100"));
    }
    step.what = *decoded;
    return step;
  }
  const Json& action = json["do"];
  std::optional<ScenarioAction> known;
  if (action.is_string()) known = enumFromString<ScenarioAction>(action.get<std::string>());
  if (!known) return Unexpected(lineError(line, "asks to do something unknown"));
  step.what = *known;
  return step;
}

}  // namespace

Result<Scenario> parseScenario(std::string_view text) {
  Scenario scenario;
  std::size_t line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    ++line;
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view content = text.substr(start, end - start);
    start = end + 1;
    if (content.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    auto step = parseLine(content, line);
    if (!step) return Unexpected(std::move(step).error());
    if (!scenario.empty() && step->at < scenario.back().at) {
      return Unexpected(lineError(line, "goes back in time"));
    }
    scenario.push_back(std::move(*step));
  }
  return scenario;
}

Scenario builtInDischarge() {
  constexpr double interval = 30;
  Scenario scenario;
  double at = 0;
  // On the adapter under load: the charge slips by one percent before the adapter is pulled.
  for (int percent : {62, 62, 61}) {
    scenario.push_back({at, BatteryReading{.percent = percent,
                                           .powerSource = PowerSource::ac,
                                           .isCharging = false,
                                           .adapterWatts = 30}});
    at += interval;
  }
  // A fixed linear congruential sequence: the same noise on every run.
  std::uint32_t seed = 20260301;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 24) % 5) - 2;  // -2 to 2 minutes
  };
  int onBattery = 0;
  for (int percent = 60; percent >= 2; --percent, at += interval, ++onBattery) {
    std::optional<int> minutes;
    // The system takes two readings to estimate; then about half a minute per percent.
    if (onBattery >= 2) minutes = std::max(0, percent / 2 + noise());
    scenario.push_back({at, BatteryReading{.percent = percent,
                                           .powerSource = PowerSource::battery,
                                           .isCharging = false,
                                           .minutesToEmpty = minutes,
                                           .cycleCount = 312,
                                           .temperatureCelsius = 31.5,
                                           .voltage = 11.1 + percent * 0.01,
                                           .amperage = -1.2}});
  }
  // The charge is gone: the machine comes back only after the user plugs it in.
  scenario.push_back({at + 300, ScenarioAction::restart});
  return scenario;
}

}  // namespace brimwell::simulation
