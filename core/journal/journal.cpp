#include "brimwell/core/journal/journal.h"

namespace brimwell {

std::optional<ShutdownVerdict> Journal::pendingRestoreVerdict() const {
  if (!pendingRestoreSnapshotID || !pendingRestoreKind) return std::nullopt;
  return ShutdownVerdict::make(*pendingRestoreKind, pendingRestoreAt, *pendingRestoreSnapshotID);
}

Json JsonCoding<Journal>::write(const Journal& journal) {
  return JsonObjectWriter()
      .put("heartbeat", journal.heartbeat)
      .put("batteryPercent", journal.batteryPercent)
      .put("powerSource", journal.powerSource)
      .put("phase", journal.phase)
      .put("bootSessionUUID", journal.bootSessionUUID)
      .put("latestSnapshotID", journal.latestSnapshotID)
      .put("cleanExit", journal.cleanExit)
      .put("drillPending", journal.drillPending)
      .put("appVersion", journal.appVersion)
      .put("drillSnapshotID", journal.drillSnapshotID)
      .put("exitReason", journal.exitReason)
      .put("pendingRestoreSnapshotID", journal.pendingRestoreSnapshotID)
      .put("pendingRestoreKind", journal.pendingRestoreKind)
      .put("pendingRestoreAt", journal.pendingRestoreAt)
      .put("pinnedSnapshotID", journal.pinnedSnapshotID)
      .put("pinnedUntil", journal.pinnedUntil)
      .take();
}

Journal JsonCoding<Journal>::read(const Json& json) {
  JsonObjectReader object(json);
  return {
      .heartbeat = object.required<Date>("heartbeat"),
      .batteryPercent = object.optional<int>("batteryPercent"),
      .powerSource = object.optional<PowerSource>("powerSource"),
      .phase = object.required<Phase>("phase"),
      .bootSessionUUID = object.required<std::string>("bootSessionUUID"),
      .latestSnapshotID = object.optional<std::string>("latestSnapshotID"),
      .cleanExit = object.required<bool>("cleanExit"),
      .drillPending = object.required<bool>("drillPending"),
      .appVersion = object.required<std::string>("appVersion"),
      .drillSnapshotID = object.optional<std::string>("drillSnapshotID"),
      .exitReason = object.optional<ExitReason>("exitReason"),
      .pendingRestoreSnapshotID = object.optional<std::string>("pendingRestoreSnapshotID"),
      .pendingRestoreKind = object.optional<PendingRestoreKind>("pendingRestoreKind"),
      .pendingRestoreAt = object.optional<Date>("pendingRestoreAt"),
      .pinnedSnapshotID = object.optional<std::string>("pinnedSnapshotID"),
      .pinnedUntil = object.optional<Date>("pinnedUntil"),
  };
}

}  // namespace brimwell
