// PhasePolicy: the pure decision of which phase a battery reading calls for. Deeper phases are
// entered at once; lighter ones only one step at a time once the charge has risen `hysteresis`
// above the threshold; the adapter always means `watch`. Stateless; callable from any thread.
#pragma once

#include <optional>

#include "brimwell/core/power/battery_reading.h"
#include "brimwell/core/power/phase.h"
#include "brimwell/core/power/thresholds.h"

namespace brimwell::PhasePolicy {

// Whether a minutes-to-empty figure alone justifies `landing`: present, at most landingMinutes,
// the charge at or below `brimwell`, and above 0 minutes unless the charge is at landingPercent.
bool minutesQualify(std::optional<int> minutes, int percent, const Thresholds& thresholds);

// The phase the reading calls for regardless of the current one (no hysteresis);
// `landingByMinutes` says the minutes rule has fired.
Phase phase(const BatteryReading& reading, const Thresholds& thresholds, bool landingByMinutes);

// The same, with the minutes rule applied to this reading's own figures.
Phase phase(const BatteryReading& reading, const Thresholds& thresholds);

// The phase to be in after `reading` when in `current`, with hysteresis on the way back.
Phase next(Phase current, const BatteryReading& reading, const Thresholds& thresholds,
           bool landingByMinutes);

// The same, with the minutes rule applied to this reading's own figures.
Phase next(Phase current, const BatteryReading& reading, const Thresholds& thresholds);

}  // namespace brimwell::PhasePolicy
