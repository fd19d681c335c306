#include "brimwell/core/snapshots/snapshot_summary.h"

namespace brimwell {

SnapshotSummary::SnapshotSummary(std::string id, Date createdAt, CaptureTrigger trigger,
                                 int appCount, int tabCount, int documentCount, int rescuedCount)
    : id(std::move(id)),
      createdAt(createdAt),
      trigger(trigger),
      appCount(appCount),
      tabCount(tabCount),
      documentCount(documentCount),
      rescuedCount(rescuedCount) {}

SnapshotSummary::SnapshotSummary(const Snapshot& snapshot)
    : SnapshotSummary(snapshot.id, snapshot.meta.createdAt, snapshot.meta.trigger,
                      snapshot.appCount(), snapshot.tabCount(), snapshot.documentCount(),
                      static_cast<int>(snapshot.rescued.size())) {}

Json JsonCoding<SnapshotSummary>::write(const SnapshotSummary& v) {
  return JsonObjectWriter()
      .put("id", v.id)
      .put("createdAt", v.createdAt)
      .put("trigger", v.trigger)
      .put("appCount", v.appCount)
      .put("tabCount", v.tabCount)
      .put("documentCount", v.documentCount)
      .put("rescuedCount", v.rescuedCount)
      .take();
}

SnapshotSummary JsonCoding<SnapshotSummary>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<std::string>("id"),         r.required<Date>("createdAt"),
          r.required<CaptureTrigger>("trigger"), r.required<int>("appCount"),
          r.required<int>("tabCount"),           r.required<int>("documentCount"),
          r.required<int>("rescuedCount")};
}

}  // namespace brimwell
