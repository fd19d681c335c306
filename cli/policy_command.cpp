#include "cli/policy_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "brimwell/core/power/phase_policy.h"
#include "cli/discharge.h"

namespace brimwell::cli {
namespace {

std::string figure(std::optional<int> minutes) {
  return minutes ? std::to_string(*minutes) : std::string("-");
}

// "READY,BRIMWELL,LANDING_PERCENT,LANDING_MINUTES,HYSTERESIS", or nothing when malformed.
std::optional<Thresholds> parseThresholds(const std::string& text) {
  std::vector<int> values;
  std::stringstream stream(text);
  std::string piece;
  while (std::getline(stream, piece, ',')) {
    std::size_t used = 0;
    try {
      values.push_back(std::stoi(piece, &used));
    } catch (const std::exception&) {
      return std::nullopt;
    }
    if (used != piece.size()) return std::nullopt;
  }
  if (values.size() != 5) return std::nullopt;
  return Thresholds{values[0], values[1], values[2], values[3], values[4]};
}

int runPolicy(const std::string& thresholdsText) {
  Thresholds thresholds = Thresholds::defaults();
  if (!thresholdsText.empty()) {
    const auto parsed = parseThresholds(thresholdsText);
    if (!parsed || !parsed->isValid()) {
      std::cerr << "The thresholds \"" << thresholdsText
                << "\" are not valid: give ready, brimwell, landing percent, landing minutes and"
                << " hysteresis as five whole numbers, with landing percent < brimwell < ready.\n";
      return 2;
    }
    thresholds = *parsed;
  }

  const Date start = Date(std::chrono::seconds(1'772'373'600));  // 2026-03-01T14:00:00Z
  const auto steps = replayPolicy(builtInDischarge(start), thresholds);
  std::printf(
      "Phase policy over a built-in discharge on battery, 100 %% to 0 %%, one reading every 30 s.\n"
      "Thresholds: ready %d %%, brimwell %d %%, landing %d %% or %d min, hysteresis %d.\n\n",
      thresholds.ready, thresholds.brimwell, thresholds.landingPercent, thresholds.landingMinutes,
      thresholds.hysteresis);
  std::printf("%-7s %7s %8s %9s  %s\n", "time", "percent", "minutes", "smoothed", "phase");
  for (const auto& step : steps) {
    const auto elapsed = static_cast<long>(secondsBetween(step.reading.timestamp, start));
    char time[48];
    std::snprintf(time, sizeof time, "%02ld:%02ld", elapsed / 60, elapsed % 60);
    std::string change;
    if (step.phase != step.previous) {
      change = std::string(8 - toString(step.phase).size(), ' ') + "  <- " +
               std::string(toString(step.previous)) + " to " + std::string(toString(step.phase));
      if (step.landingByMinutes && step.phase == Phase::landing &&
          step.reading.percent > thresholds.landingPercent) {
        change += " (minutes rule)";
      }
    }
    std::printf("%-7s %6d%% %8s %9s  %s%s\n", time, step.reading.percent,
                figure(step.reading.minutesToEmpty).c_str(), figure(step.smoothedMinutes).c_str(),
                std::string(toString(step.phase)).c_str(), change.c_str());
  }
  return 0;
}

}  // namespace

void addPolicyCommand(CLI::App& app, int& status) {
  CLI::App* policy = app.add_subcommand(
      "policy", "Print the phase policy's decision for each reading of a built-in discharge.");
  auto thresholds = std::make_shared<std::string>();
  policy->add_option("--thresholds", *thresholds,
                     "Thresholds to use instead of the defaults: READY,BRIMWELL,LANDING_PERCENT,"
                     "LANDING_MINUTES,HYSTERESIS (for example 20,10,3,4,3)");
  policy->callback([thresholds, &status] { status = runPolicy(*thresholds); });
}

}  // namespace brimwell::cli
