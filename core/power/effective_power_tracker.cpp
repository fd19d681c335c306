#include "brimwell/core/power/effective_power_tracker.h"

namespace brimwell {

PowerSource EffectivePowerTracker::effectiveSource(const BatteryReading& reading) {
  if (reading.powerSource == PowerSource::battery) {
    negativeAmperage = 0;
    falling = 0;
    lastPercent = reading.percent;
    return PowerSource::battery;
  }
  if (lastPercent) {
    if (reading.percent < *lastPercent) ++falling;
    if (reading.percent > *lastPercent) falling = 0;
  }
  lastPercent = reading.percent;
  if (reading.amperage) {
    if (*reading.amperage < 0.0) {
      ++negativeAmperage;
    } else {
      negativeAmperage = 0;
      // A charging current disproves the drain; exactly zero only ends the negative run.
      if (*reading.amperage > 0.0) falling = 0;
    }
  }
  return isDraining() ? PowerSource::battery : PowerSource::ac;
}

bool EffectivePowerTracker::isDraining() const {
  return falling >= drainReadings || negativeAmperage >= drainReadings;
}

bool EffectivePowerTracker::suspectsDrain() const { return falling > 0 || negativeAmperage > 0; }

}  // namespace brimwell
