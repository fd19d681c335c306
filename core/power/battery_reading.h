// BatteryReading: one sample of the battery and power state. A plain value, copied freely between
// threads. Unknown measurements are absent (never zero); the JSON form is strict for the four
// required keys and leaves absent optionals out.
#pragma once

#include <optional>

#include "brimwell/core/base/date.h"
#include "brimwell/core/power/power_source.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

// Built memberwise, e.g. BatteryReading{.percent = 50, .powerSource = PowerSource::battery,
// .isCharging = false, .timestamp = now}; the eight optionals may be left out and are then absent.
struct BatteryReading {
  int percent = 0;  // state of charge, 0 to 100
  PowerSource powerSource = PowerSource::battery;
  bool isCharging = false;
  std::optional<int> minutesToEmpty = std::nullopt;
  std::optional<int> minutesToFull = std::nullopt;
  std::optional<int> cycleCount = std::nullopt;
  std::optional<double> healthPercent = std::nullopt;
  std::optional<double> temperatureCelsius = std::nullopt;
  std::optional<int> adapterWatts = std::nullopt;
  std::optional<double> voltage = std::nullopt;   // volts
  std::optional<double> amperage = std::nullopt;  // amperes; negative while discharging
  Date timestamp{};

  // amperage × voltage when both are known (negative while discharging); never stored.
  std::optional<double> batteryWatts() const;

  friend bool operator==(const BatteryReading&, const BatteryReading&) = default;
};

template <>
struct JsonCoding<BatteryReading> {
  static Json write(const BatteryReading& reading);
  static BatteryReading read(const Json& json);
};

}  // namespace brimwell
