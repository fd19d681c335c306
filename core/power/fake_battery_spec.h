// FakeBatterySpec: a synthetic battery state written as text ("20,battery,35"), so the system can
// be driven without a real battery. parse never fails loudly: malformed text gives nothing.
// A plain value; any thread.
#pragma once

#include <optional>
#include <string_view>

#include "brimwell/core/base/date.h"
#include "brimwell/core/power/battery_reading.h"
#include "brimwell/core/power/power_source.h"

namespace brimwell {

struct FakeBatterySpec {
  int percent = 0;  // 0 to 100
  PowerSource powerSource = PowerSource::battery;
  std::optional<int> minutesToEmpty = std::nullopt;  // not negative

  // The fake battery that "percent,source[,minutes]" describes: pieces are trimmed, empty pieces
  // between commas are dropped, the source is "ac", "batt" or "battery" in any case. Nothing for
  // any other text.
  static std::optional<FakeBatterySpec> parse(std::string_view text);

  // The reading this fake battery stands for, taken at `at`: charging only on the adapter below
  // full charge, minutes to empty only on battery, every other measurement absent.
  BatteryReading reading(Date at) const;

  friend bool operator==(const FakeBatterySpec&, const FakeBatterySpec&) = default;
};

}  // namespace brimwell
