// PowerSaverRecord: the note of what power saving changed (Low Power Mode, display brightness)
// and of the battery hibernate mode Safe Landing changed, kept in "power-saver.json" so every
// change can be undone later, even across a crash or restart. A plain value.
#pragma once

#include <filesystem>
#include <optional>

#include "brimwell/core/base/error.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct PowerSaverRecord {
  bool turnedOnLowPowerMode = false;
  std::optional<double> previousBrightness;
  std::optional<double> dimmedTo;
  std::optional<int> previousHibernateMode;

  static PowerSaverRecord none() { return {}; }

  bool isEmpty() const {
    return !turnedOnLowPowerMode && !previousBrightness && !dimmedTo && !previousHibernateMode;
  }

  // The record stored at `path`, or nothing when the file is missing or doesn't decode.
  static std::optional<PowerSaverRecord> load(const std::filesystem::path& path);

  friend bool operator==(const PowerSaverRecord&, const PowerSaverRecord&) = default;
};

template <>
struct JsonCoding<PowerSaverRecord> {
  static Json write(const PowerSaverRecord& record);
  static PowerSaverRecord read(const Json& json);
};

}  // namespace brimwell
