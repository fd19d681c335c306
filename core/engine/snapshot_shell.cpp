#include "brimwell/core/engine/snapshot_shell.h"

#include "brimwell/core/snapshots/snapshot_id.h"

namespace brimwell {

Snapshot snapshotShell(Date createdAt, CaptureTrigger trigger,
                       const std::optional<BatteryReading>& battery, SystemInfoProviding& machine) {
  Snapshot snapshot;
  snapshot.id = SnapshotID::make(createdAt);
  snapshot.meta.createdAt = createdAt;
  snapshot.meta.trigger = trigger;
  if (battery) {
    snapshot.meta.batteryPercent = battery->percent;
    snapshot.meta.powerSource = battery->powerSource;
  }
  snapshot.meta.bootSessionUUID = machine.bootSessionUUID();
  snapshot.meta.hostModel = machine.hostModel();
  return snapshot;
}

}  // namespace brimwell
