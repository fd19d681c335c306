// EffectivePowerTracker: tells whether the machine is effectively on battery. On the adapter, two
// consecutive negative-current readings, or two drops of the charge without a rise between them,
// count as running on battery. A plain value owned by the engine; one thread at a time.
#pragma once

#include <optional>

#include "brimwell/core/power/battery_reading.h"
#include "brimwell/core/power/power_source.h"

namespace brimwell {

struct EffectivePowerTracker {
  // Consecutive adapter readings with a negative amperage (readings without one are skipped).
  int negativeAmperage = 0;
  // Adapter readings whose charge fell since the last rise or the last positive amperage.
  int falling = 0;
  // The previous reading's charge; absent before the first reading.
  std::optional<int> lastPercent;

  // Pieces of evidence needed before an adapter reading counts as battery.
  static constexpr int drainReadings = 2;

  // Takes `reading` into account and returns the source it effectively runs on; on the adapter
  // that is `battery` exactly when isDraining() holds afterwards.
  PowerSource effectiveSource(const BatteryReading& reading);

  bool isDraining() const;
  bool suspectsDrain() const;

  friend bool operator==(const EffectivePowerTracker&, const EffectivePowerTracker&) = default;
};

}  // namespace brimwell
