// Journal: the engine's small persistent diary, rewritten atomically on every heartbeat and state
// change. After a crash or an empty battery it is the only witness of how the session ended. A
// plain value; its JSON form is strict for the six required keys and ignores unknown keys.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/enum_text.h"
#include "brimwell/core/journal/shutdown_verdict.h"
#include "brimwell/core/power/phase.h"
#include "brimwell/core/power/power_source.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

enum class ExitReason { powerOff, quit, sigterm };

template <>
struct EnumNames<ExitReason> {
  static constexpr std::array<std::string_view, 3> names{"powerOff", "quit", "sigterm"};
};

struct Journal {
  Date heartbeat{};  // when the engine last wrote the journal while running
  std::optional<int> batteryPercent = std::nullopt;
  std::optional<PowerSource> powerSource = std::nullopt;
  Phase phase = Phase::watch;
  std::string bootSessionUUID;
  std::optional<std::string> latestSnapshotID = std::nullopt;
  bool cleanExit = false;
  bool drillPending = false;
  std::string appVersion;
  std::optional<std::string> drillSnapshotID = std::nullopt;
  std::optional<ExitReason> exitReason = std::nullopt;
  std::optional<std::string> pendingRestoreSnapshotID = std::nullopt;
  std::optional<PendingRestoreKind> pendingRestoreKind = std::nullopt;
  std::optional<Date> pendingRestoreAt = std::nullopt;
  std::optional<std::string> pinnedSnapshotID = std::nullopt;
  std::optional<Date> pinnedUntil = std::nullopt;

  // The restore offer kept in the three pendingRestore fields, or nothing when they don't make one.
  std::optional<ShutdownVerdict> pendingRestoreVerdict() const;

  friend bool operator==(const Journal&, const Journal&) = default;
};

template <>
struct JsonCoding<Journal> {
  static Json write(const Journal& journal);
  static Journal read(const Json& json);
};

}  // namespace brimwell
