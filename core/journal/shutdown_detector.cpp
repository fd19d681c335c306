#include "brimwell/core/journal/shutdown_detector.h"

#include "brimwell/core/snapshots/snapshot_id.h"

namespace brimwell::ShutdownDetector {
namespace {

// The verdict of a machine that restarted without a trusted clean exit, when the latest snapshot
// supports one: on battery and low (or in a protective phase) it ran out; otherwise it went down
// unexpectedly, if the snapshot is fresh enough to be worth offering.
std::optional<ShutdownVerdict> shutdownVerdict(
    const Journal& journal, const Thresholds& thresholds,
    const std::function<bool(const std::string&)>& snapshotExists) {
  if (!journal.latestSnapshotID || !snapshotExists(*journal.latestSnapshotID)) return std::nullopt;
  const std::string& id = *journal.latestSnapshotID;

  const bool lowCharge = journal.batteryPercent && *journal.batteryPercent <= thresholds.ready;
  if (journal.powerSource == PowerSource::battery && (journal.phase != Phase::watch || lowCharge)) {
    return ShutdownVerdict::ranOutOfBattery(journal.heartbeat, id);
  }

  const auto taken = SnapshotID::date(id);
  if (!taken) return std::nullopt;
  if (secondsBetween(journal.heartbeat, *taken) < freshSnapshotWindow) {
    return ShutdownVerdict::unexpectedShutdown(journal.heartbeat, id);
  }
  return std::nullopt;
}

}  // namespace

bool trustsCleanExit(const Journal& journal) {
  const bool lowOnBattery = journal.powerSource == PowerSource::battery &&
                            (journal.phase == Phase::brimwell || journal.phase == Phase::landing);
  return journal.cleanExit && !lowOnBattery;
}

ShutdownVerdict verdict(const std::optional<Journal>& journal, std::string_view currentBootSession,
                        const Thresholds& thresholds,
                        const std::function<bool(const std::string&)>& snapshotExists) {
  if (!journal) return ShutdownVerdict::none();

  if (journal->bootSessionUUID != currentBootSession && !trustsCleanExit(*journal)) {
    if (auto shutdown = shutdownVerdict(*journal, thresholds, snapshotExists)) return *shutdown;
  }

  if (journal->drillPending) {
    // A drill snapshot that is gone doesn't fall back to the latest one.
    const auto& id =
        journal->drillSnapshotID ? journal->drillSnapshotID : journal->latestSnapshotID;
    if (id && snapshotExists(*id)) return ShutdownVerdict::drill(*id);
  }
  return ShutdownVerdict::none();
}

}  // namespace brimwell::ShutdownDetector
