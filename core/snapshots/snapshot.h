// Snapshot: one moment of the user's workspace, as stored in one JSON file (keys sorted, absent
// optionals left out, lists always written) and decoded strictly. Plain value; safe to hand
// between threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/power/power_source.h"
#include "brimwell/core/snapshots/capture_enums.h"
#include "brimwell/core/snapshots/clipboard_record.h"
#include "brimwell/core/snapshots/workspace_records.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

// When, why and on what a capture ran.
struct SnapshotMeta {
  Date createdAt;
  CaptureTrigger trigger = CaptureTrigger::manual;
  std::optional<int> batteryPercent;
  std::optional<PowerSource> powerSource;
  std::string bootSessionUUID;
  std::string hostModel;
  std::int64_t durationMs = 0;
  friend bool operator==(const SnapshotMeta&, const SnapshotMeta&) = default;
};

struct Snapshot {
  // The format version every snapshot this system writes carries.
  static constexpr int currentSchema = 1;

  int schema = currentSchema;
  std::string id;
  SnapshotMeta meta;
  std::vector<AppRecord> apps;
  std::vector<BrowserRecord> browsers;
  std::vector<FinderWindowRecord> finder;
  std::vector<TerminalRecord> terminals;
  std::optional<ClipboardRecord> clipboard;
  std::vector<RescuedDocument> rescued;
  std::vector<SaverResult> savers;
  std::optional<Date> savePassAt;  // when the save pass behind `savers` and `rescued` ran

  Snapshot() = default;
  // A snapshot of the current schema without an attached save pass time.
  Snapshot(std::string id, SnapshotMeta meta, std::vector<AppRecord> apps,
           std::vector<BrowserRecord> browsers, std::vector<FinderWindowRecord> finder,
           std::vector<TerminalRecord> terminals, std::optional<ClipboardRecord> clipboard,
           std::vector<RescuedDocument> rescued, std::vector<SaverResult> savers);

  // The number of applications, whatever their windows or status.
  int appCount() const;
  // The number of tabs over every window of every browser, whatever the browser's status.
  int tabCount() const;
  // The number of distinct paths among the file-system paths of the windows' file URLs and the
  // paths of the rescued copies, compared as exact text.
  int documentCount() const;

  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

template <>
struct JsonCoding<SnapshotMeta> {
  static Json write(const SnapshotMeta& value);
  static SnapshotMeta read(const Json& json);
};

template <>
struct JsonCoding<Snapshot> {
  static Json write(const Snapshot& value);
  static Snapshot read(const Json& json);
};

}  // namespace brimwell
