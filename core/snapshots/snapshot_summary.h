// SnapshotSummary: the short description of one snapshot that lists and restore offers show:
// when and why it was taken, and four counts. Plain value; safe to hand between threads.
#pragma once

#include <string>

#include "brimwell/core/base/date.h"
#include "brimwell/core/snapshots/capture_enums.h"
#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct SnapshotSummary {
  std::string id;
  Date createdAt;
  CaptureTrigger trigger = CaptureTrigger::manual;
  int appCount = 0;
  int tabCount = 0;
  int documentCount = 0;
  int rescuedCount = 0;

  SnapshotSummary() = default;
  SnapshotSummary(std::string id, Date createdAt, CaptureTrigger trigger, int appCount,
                  int tabCount, int documentCount, int rescuedCount);
  // The summary of `snapshot`: its id, its meta's date and trigger, and its counts.
  explicit SnapshotSummary(const Snapshot& snapshot);

  friend bool operator==(const SnapshotSummary&, const SnapshotSummary&) = default;
};

template <>
struct JsonCoding<SnapshotSummary> {
  static Json write(const SnapshotSummary& value);
  static SnapshotSummary read(const Json& json);
};

}  // namespace brimwell
