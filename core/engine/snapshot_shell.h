// The part of a snapshot every capturer fills in the same way before it records the workspace:
// identifier, capture instant, trigger, battery state and machine. Pure apart from asking
// `machine`.
#pragma once

#include <optional>

#include "brimwell/core/base/date.h"
#include "brimwell/core/engine/collaborators.h"
#include "brimwell/core/power/battery_reading.h"
#include "brimwell/core/snapshots/snapshot.h"

namespace brimwell {

// A snapshot of nothing yet, taken at `createdAt` for `trigger`: the identifier made from the
// instant, the battery's percent and power source when a reading is known, and the machine's boot
// session and model.
Snapshot snapshotShell(Date createdAt, CaptureTrigger trigger,
                       const std::optional<BatteryReading>& battery, SystemInfoProviding& machine);

}  // namespace brimwell
