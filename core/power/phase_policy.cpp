#include "brimwell/core/power/phase_policy.h"

namespace brimwell::PhasePolicy {
namespace {

// Whether the reading allows stepping back from `from` to the next lighter phase.
bool mayLeave(Phase from, const BatteryReading& reading, const Thresholds& thresholds) {
  const int h = thresholds.hysteresis;
  switch (from) {
    case Phase::landing:
      return reading.percent >= thresholds.landingPercent + h &&
             (!reading.minutesToEmpty || *reading.minutesToEmpty >= thresholds.landingMinutes + h);
    case Phase::brimwell:
      return reading.percent >= thresholds.brimwell + h;
    case Phase::ready:
      return reading.percent >= thresholds.ready + h;
    case Phase::watch:
      return false;  // nothing is lighter than watch
  }
  return false;
}

Phase lighter(Phase phase) { return static_cast<Phase>(static_cast<int>(phase) - 1); }

}  // namespace

bool minutesQualify(std::optional<int> minutes, int percent, const Thresholds& thresholds) {
  return minutes && *minutes <= thresholds.landingMinutes && percent <= thresholds.brimwell &&
         (*minutes > 0 || percent <= thresholds.landingPercent);
}

Phase phase(const BatteryReading& reading, const Thresholds& thresholds, bool landingByMinutes) {
  if (reading.powerSource == PowerSource::ac) return Phase::watch;
  if (reading.percent <= thresholds.landingPercent) return Phase::landing;
  if (reading.percent <= thresholds.brimwell) {
    return landingByMinutes ? Phase::landing : Phase::brimwell;
  }
  if (reading.percent <= thresholds.ready) return Phase::ready;
  return Phase::watch;
}

Phase phase(const BatteryReading& reading, const Thresholds& thresholds) {
  return phase(reading, thresholds,
               minutesQualify(reading.minutesToEmpty, reading.percent, thresholds));
}

Phase next(Phase current, const BatteryReading& reading, const Thresholds& thresholds,
           bool landingByMinutes) {
  if (reading.powerSource == PowerSource::ac) return Phase::watch;
  const Phase target = phase(reading, thresholds, landingByMinutes);
  if (target >= current) return target;
  Phase result = current;
  while (result > target && mayLeave(result, reading, thresholds)) result = lighter(result);
  return result;
}

Phase next(Phase current, const BatteryReading& reading, const Thresholds& thresholds) {
  return next(current, reading, thresholds,
              minutesQualify(reading.minutesToEmpty, reading.percent, thresholds));
}

}  // namespace brimwell::PhasePolicy
