// The conversion from the kernel's power-supply attributes to a BatteryReading, in the reading's
// units. Pure: tests run it on supplies made by hand or read from a fake sysfs tree.
#pragma once

#include <optional>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/power/battery_reading.h"
#include "linux/power_supply.h"

namespace brimwell {

// The reading the supplies describe, taken at `now`, or nothing when there is no system battery
// (a "Battery" supply whose scope isn't "Device" and that isn't marked absent) or its charge can't
// be told.
//
// - percent: `capacity`, else energy_now / energy_full or charge_now / charge_full; 0 to 100.
// - powerSource: ac when any "Mains" or "USB" supply is online; when the machine lists no such
//   supply at all, ac while the battery says Charging, Full or Not charging.
// - isCharging: the battery's `status` is Charging.
// - voltage (V) from voltage_now (µV); amperage (A) from current_now (µA), or power_now (µW) over
//   voltage_now, negative while Discharging and positive while Charging.
// - minutesToEmpty while Discharging and minutesToFull while Charging: the energy (µWh) over the
//   power (µW), or the charge (µAh) over the current (µA), when that rate is known and not zero.
// - healthPercent: energy_full / energy_full_design, else charge_full / charge_full_design.
// - cycleCount from cycle_count; temperatureCelsius from temp (tenths of a degree).
// Every other field, and each of these whose attributes are missing or malformed, stays absent.
std::optional<BatteryReading> readingFromSysfs(const std::vector<PowerSupply>& supplies, Date now);

}  // namespace brimwell
