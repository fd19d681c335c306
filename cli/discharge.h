// The phase policy replayed over a stream of battery readings the way the engine applies it: the
// minutes figure is smoothed, and the minutes rule fires after two consecutive qualifying
// readings. Pure functions over values; any thread.
#pragma once

#include <optional>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/power/battery_reading.h"
#include "brimwell/core/power/phase.h"
#include "brimwell/core/power/thresholds.h"

namespace brimwell::cli {

struct PolicyStep {
  BatteryReading reading;
  std::optional<int> smoothedMinutes = std::nullopt;
  bool landingByMinutes = false;
  Phase previous = Phase::watch;
  Phase phase = Phase::watch;
};

// A discharge on battery from 100 % to 0 %, one reading every 30 s starting at `start`, with the
// system's minutes-to-empty estimate (absent while it is still calculating, with one high and one
// low outlier along the way).
std::vector<BatteryReading> builtInDischarge(Date start);

// The policy's decision for every reading, starting in `watch`.
std::vector<PolicyStep> replayPolicy(const std::vector<BatteryReading>& readings,
                                     const Thresholds& thresholds);

}  // namespace brimwell::cli
