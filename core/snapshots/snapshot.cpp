#include "brimwell/core/snapshots/snapshot.h"

#include <set>

namespace brimwell {

Snapshot::Snapshot(std::string id, SnapshotMeta meta, std::vector<AppRecord> apps,
                   std::vector<BrowserRecord> browsers, std::vector<FinderWindowRecord> finder,
                   std::vector<TerminalRecord> terminals, std::optional<ClipboardRecord> clipboard,
                   std::vector<RescuedDocument> rescued, std::vector<SaverResult> savers)
    : id(std::move(id)),
      meta(std::move(meta)),
      apps(std::move(apps)),
      browsers(std::move(browsers)),
      finder(std::move(finder)),
      terminals(std::move(terminals)),
      clipboard(std::move(clipboard)),
      rescued(std::move(rescued)),
      savers(std::move(savers)) {}

int Snapshot::appCount() const { return static_cast<int>(apps.size()); }

int Snapshot::tabCount() const {
  std::size_t count = 0;
  for (const auto& browser : browsers) {
    for (const auto& window : browser.windows) count += window.tabs.size();
  }
  return static_cast<int>(count);
}

int Snapshot::documentCount() const {
  std::set<std::string> paths;
  for (const auto& app : apps) {
    for (const auto& window : app.windows) {
      if (auto url = window.fileURL()) paths.insert(url->fileSystemPath());
    }
  }
  for (const auto& document : rescued) paths.insert(document.path);
  return static_cast<int>(paths.size());
}

Json JsonCoding<SnapshotMeta>::write(const SnapshotMeta& v) {
  return JsonObjectWriter()
      .put("createdAt", v.createdAt)
      .put("trigger", v.trigger)
      .put("batteryPercent", v.batteryPercent)
      .put("powerSource", v.powerSource)
      .put("bootSessionUUID", v.bootSessionUUID)
      .put("hostModel", v.hostModel)
      .put("durationMs", v.durationMs)
      .take();
}

SnapshotMeta JsonCoding<SnapshotMeta>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<Date>("createdAt"),
          r.required<CaptureTrigger>("trigger"),
          r.optional<int>("batteryPercent"),
          r.optional<PowerSource>("powerSource"),
          r.required<std::string>("bootSessionUUID"),
          r.required<std::string>("hostModel"),
          r.required<std::int64_t>("durationMs")};
}

Json JsonCoding<Snapshot>::write(const Snapshot& v) {
  return JsonObjectWriter()
      .put("schema", v.schema)
      .put("id", v.id)
      .put("meta", v.meta)
      .put("apps", v.apps)
      .put("browsers", v.browsers)
      .put("finder", v.finder)
      .put("terminals", v.terminals)
      .put("clipboard", v.clipboard)
      .put("rescued", v.rescued)
      .put("savers", v.savers)
      .put("savePassAt", v.savePassAt)
      .take();
}

Snapshot JsonCoding<Snapshot>::read(const Json& json) {
  const JsonObjectReader r(json);
  Snapshot snapshot;
  snapshot.schema = r.required<int>("schema");
  snapshot.id = r.required<std::string>("id");
  snapshot.meta = r.required<SnapshotMeta>("meta");
  snapshot.apps = r.required<std::vector<AppRecord>>("apps");
  snapshot.browsers = r.required<std::vector<BrowserRecord>>("browsers");
  snapshot.finder = r.required<std::vector<FinderWindowRecord>>("finder");
  snapshot.terminals = r.required<std::vector<TerminalRecord>>("terminals");
  snapshot.clipboard = r.optional<ClipboardRecord>("clipboard");
  snapshot.rescued = r.required<std::vector<RescuedDocument>>("rescued");
  snapshot.savers = r.required<std::vector<SaverResult>>("savers");
  snapshot.savePassAt = r.optional<Date>("savePassAt");
  return snapshot;
}

}  // namespace brimwell
