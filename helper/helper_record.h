// HelperRecord: what the daemon changed on the user's behalf and must put back. Plain value with
// its JSON form; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

struct HelperRecord {
  // The battery hibernate mode found before Safe Landing changed it.
  std::optional<std::int64_t> hibernateModeToRestore;
  // The battery Low Power Mode found before it was turned on.
  std::optional<bool> batteryLowPowerModeToRestore;

  bool isEmpty() const { return !hibernateModeToRestore && !batteryLowPowerModeToRestore; }
  friend bool operator==(const HelperRecord&, const HelperRecord&) = default;
};

// A JSON object holding only the present fields.
std::string encodeHelperRecord(const HelperRecord& record);

// The record `text` holds; absent when it is not an object whose known keys have the right types
// (a missing key or null means the field is absent).
std::optional<HelperRecord> decodeHelperRecord(std::string_view text);

}  // namespace brimwell
