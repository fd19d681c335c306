#include "cli/discharge.h"

#include "brimwell/core/power/minutes_to_empty_smoother.h"
#include "brimwell/core/power/phase_policy.h"

namespace brimwell::cli {

std::vector<BatteryReading> builtInDischarge(Date start) {
  constexpr double kSecondsPerPercent = 30;
  std::vector<BatteryReading> readings;
  for (int percent = 100; percent >= 0; --percent) {
    const int index = 100 - percent;
    std::optional<int> minutes;
    if (index >= 2) {
      // Half a minute per percent, wobbling by a minute on every third reading.
      minutes = percent / 2 + (index % 3 == 0 ? 1 : 0);
      if (percent == 60) minutes = 180;  // a moment of light load
      if (percent == 9) minutes = 1;     // a moment of heavy load
    }
    readings.push_back({.percent = percent,
                        .powerSource = PowerSource::battery,
                        .isCharging = false,
                        .minutesToEmpty = minutes,
                        .timestamp = addSeconds(start, kSecondsPerPercent * index)});
  }
  return readings;
}

std::vector<PolicyStep> replayPolicy(const std::vector<BatteryReading>& readings,
                                     const Thresholds& thresholds) {
  std::vector<PolicyStep> steps;
  MinutesToEmptySmoother smoother;
  int qualifyingStreak = 0;
  Phase phase = Phase::watch;
  for (const auto& reading : readings) {
    PolicyStep step{.reading = reading, .previous = phase};
    BatteryReading policyReading = reading;
    if (reading.powerSource == PowerSource::battery) {
      step.smoothedMinutes =
          smoother.add(reading.minutesToEmpty, reading.percent, reading.timestamp, thresholds);
    }
    policyReading.minutesToEmpty = step.smoothedMinutes;
    const bool qualifies =
        PhasePolicy::minutesQualify(step.smoothedMinutes, reading.percent, thresholds);
    qualifyingStreak = qualifies ? qualifyingStreak + 1 : 0;
    step.landingByMinutes = qualifyingStreak >= 2;
    phase = PhasePolicy::next(phase, policyReading, thresholds, step.landingByMinutes);
    step.phase = phase;
    steps.push_back(step);
  }
  return steps;
}

}  // namespace brimwell::cli
