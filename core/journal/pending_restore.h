// PendingRestore: the restore offer the engine publishes: how the previous session ended and the
// summary of the snapshot it offers. A plain value; not stored as such (the journal keeps its
// parts).
#pragma once

#include "brimwell/core/journal/shutdown_verdict.h"
#include "brimwell/core/snapshots/snapshot_summary.h"

namespace brimwell {

struct PendingRestore {
  ShutdownVerdict verdict;
  SnapshotSummary snapshot;

  friend bool operator==(const PendingRestore&, const PendingRestore&) = default;
};

}  // namespace brimwell
