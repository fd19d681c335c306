#include "linux/sysfs_battery_reading.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace brimwell {
namespace {

std::optional<double> number(const PowerSupply& supply, const char* attribute) {
  const auto value = supply.number(attribute);
  if (!value) return std::nullopt;
  return static_cast<double>(*value);
}

bool isSystemBattery(const PowerSupply& supply) {
  return supply.text("type") == "Battery" && supply.text("scope") != "Device" &&
         supply.text("present") != "0";
}

bool isAdapter(const PowerSupply& supply) {
  const auto type = supply.text("type");
  return type == "Mains" || type == "USB";
}

// `numerator / denominator` as a percentage, when the denominator is positive.
std::optional<double> ratioPercent(std::optional<double> numerator,
                                   std::optional<double> denominator) {
  if (!numerator || !denominator || *denominator <= 0) return std::nullopt;
  return *numerator / *denominator * 100.0;
}

// Whole minutes for `hours`, or nothing when that isn't a sensible figure for an int.
std::optional<int> wholeMinutes(double hours) {
  const double minutes = std::round(hours * 60.0);
  if (!std::isfinite(minutes) || minutes < 0 || minutes > INT_MAX) return std::nullopt;
  return static_cast<int>(minutes);
}

std::optional<int> percentOf(const PowerSupply& battery) {
  std::optional<double> percent = number(battery, "capacity");
  if (!percent)
    percent = ratioPercent(number(battery, "energy_now"), number(battery, "energy_full"));
  if (!percent)
    percent = ratioPercent(number(battery, "charge_now"), number(battery, "charge_full"));
  if (!percent) return std::nullopt;
  return static_cast<int>(std::clamp(std::round(*percent), 0.0, 100.0));
}

// What is stored, what a full battery holds, and the rate of flow, all in one unit family
// (µWh and µW, or µAh and µA).
struct Flow {
  double amount = 0;
  std::optional<double> full;
  double rate = 0;  // magnitude, never zero
};

std::optional<Flow> flowOf(const PowerSupply& battery) {
  const auto voltage = number(battery, "voltage_now");
  const auto power = number(battery, "power_now");
  const auto current = number(battery, "current_now");
  if (const auto energy = number(battery, "energy_now")) {
    std::optional<double> rate = power;
    if (!rate && current && voltage) rate = *current * *voltage / 1e6;  // µA × µV → µW
    if (rate && *rate != 0) return Flow{*energy, number(battery, "energy_full"), std::fabs(*rate)};
  }
  if (const auto charge = number(battery, "charge_now")) {
    std::optional<double> rate = current;
    if (!rate && power && voltage && *voltage != 0) rate = *power / *voltage * 1e6;  // µW / µV → µA
    if (rate && *rate != 0) return Flow{*charge, number(battery, "charge_full"), std::fabs(*rate)};
  }
  return std::nullopt;
}

}  // namespace

std::optional<BatteryReading> readingFromSysfs(const std::vector<PowerSupply>& supplies, Date now) {
  const auto battery = std::find_if(supplies.begin(), supplies.end(), isSystemBattery);
  if (battery == supplies.end()) return std::nullopt;
  const auto percent = percentOf(*battery);
  if (!percent) return std::nullopt;

  const std::string status = battery->text("status").value_or("");
  const bool charging = status == "Charging";
  const bool discharging = status == "Discharging";

  const bool listsAdapter = std::any_of(supplies.begin(), supplies.end(), isAdapter);
  const bool adapterOnline = std::any_of(supplies.begin(), supplies.end(), [](const auto& supply) {
    return isAdapter(supply) && supply.number("online").value_or(0) > 0;
  });
  const bool onAdapter =
      listsAdapter ? adapterOnline : (charging || status == "Full" || status == "Not charging");

  BatteryReading reading{.percent = *percent,
                         .powerSource = onAdapter ? PowerSource::ac : PowerSource::battery,
                         .isCharging = charging,
                         .timestamp = now};

  const auto voltage = number(*battery, "voltage_now");
  if (voltage) reading.voltage = *voltage / 1e6;

  std::optional<double> amperes;
  if (const auto current = number(*battery, "current_now")) {
    amperes = *current / 1e6;
  } else if (const auto power = number(*battery, "power_now"); power && voltage && *voltage != 0) {
    amperes = *power / *voltage;  // µW / µV = A
  }
  if (amperes) {
    // Drivers disagree on the sign; the status says which way the current flows.
    if (discharging) amperes = -std::fabs(*amperes);
    if (charging) amperes = std::fabs(*amperes);
    reading.amperage = *amperes;
  }

  if (const auto flow = flowOf(*battery)) {
    if (discharging) reading.minutesToEmpty = wholeMinutes(flow->amount / flow->rate);
    if (charging && flow->full) {
      reading.minutesToFull = wholeMinutes(std::max(0.0, *flow->full - flow->amount) / flow->rate);
    }
  }

  if (auto health =
          ratioPercent(number(*battery, "energy_full"), number(*battery, "energy_full_design"))) {
    reading.healthPercent = *health;
  } else if (auto chargeHealth = ratioPercent(number(*battery, "charge_full"),
                                              number(*battery, "charge_full_design"))) {
    reading.healthPercent = *chargeHealth;
  }
  if (const auto cycles = battery->number("cycle_count");
      cycles && *cycles >= 0 && *cycles <= INT_MAX) {
    reading.cycleCount = static_cast<int>(*cycles);
  }
  if (const auto temp = number(*battery, "temp")) reading.temperatureCelsius = *temp / 10.0;
  return reading;
}

}  // namespace brimwell
