#include "linux/sysfs_battery_reading.h"

#include <gtest/gtest.h>

#include <cmath>

#include "brimwell/core/storage/brimwell_json.h"
#include "linux/power_supply.h"
#include "tests/linux/fake_sysfs.h"

namespace brimwell {

// Failures print the reading as its JSON text.
inline void PrintTo(const BatteryReading& reading, std::ostream* out) {
  *out << BrimwellJSON::encode(reading).value_or("(unencodable reading)");
}

namespace {

using testing::Attributes;

const Date kNow = Date(std::chrono::seconds(1'772'373'600));

// A laptop that reports energy in µWh and power in µW: 50 Wh of 60 Wh, 10 W.
const Attributes kEnergyBattery = {
    {"type", "Battery"},
    {"capacity", "83"},
    {"energy_now", "50000000"},
    {"energy_full", "60000000"},
    {"energy_full_design", "80000000"},
    {"power_now", "10000000"},
    {"voltage_now", "12500000"},
    {"cycle_count", "321"},
};

// One that reports charge in µAh and current in µA: 3 Ah of 4 Ah, 1.5 A; the driver gives the
// current a negative sign while discharging.
const Attributes kChargeBattery = {
    {"type", "Battery"},
    {"capacity", "75"},
    {"charge_now", "3000000"},
    {"charge_full", "4000000"},
    {"charge_full_design", "5000000"},
    {"current_now", "-1500000"},
    {"voltage_now", "11000000"},
    {"temp", "315"},
};

Attributes with(Attributes attributes, const Attributes& changes) {
  for (const auto& [key, value] : changes) attributes[key] = value;
  return attributes;
}

std::optional<BatteryReading> readTree(const Attributes& battery,
                                       const std::string& adapterOnline) {
  testing::TempDir root;
  testing::writeSupply(root.path(), "BAT0", battery);
  testing::writeSupply(root.path(), "AC", {{"type", "Mains"}, {"online", adapterOnline}});
  return readingFromSysfs(readPowerSupplies(root.path()), kNow);
}

// The reading with its computed amperage and health rounded to a billionth, so that a whole
// reading can be compared with one written out by hand.
BatteryReading rounded(BatteryReading reading) {
  for (auto* value : {&reading.amperage, &reading.healthPercent}) {
    if (*value) *value = std::round(**value * 1e9) / 1e9;
  }
  return reading;
}

TEST(SysfsBatteryReadingTest, ConvertsBothUnitFamiliesWhileChargingAndDischarging) {
  const BatteryReading energy{
      .percent = 83, .cycleCount = 321, .healthPercent = 75.0, .voltage = 12.5, .timestamp = kNow};
  const BatteryReading charge{.percent = 75,
                              .healthPercent = 80.0,
                              .temperatureCelsius = 31.5,
                              .voltage = 11.0,
                              .timestamp = kNow};
  const auto ac = PowerSource::ac, battery = PowerSource::battery;
  const struct {
    const char* name;
    Attributes battery;
    BatteryReading base;
    PowerSource source;
    bool charging;
    std::optional<int> toEmpty, toFull;
    double amperage;
  } rows[] = {
      {"energy, discharging", with(kEnergyBattery, {{"status", "Discharging"}}), energy, battery,
       false, 300, std::nullopt, -0.8},
      {"energy, charging", with(kEnergyBattery, {{"status", "Charging"}}), energy, ac, true,
       std::nullopt, 60, 0.8},
      {"charge, discharging", with(kChargeBattery, {{"status", "Discharging"}}), charge, battery,
       false, 120, std::nullopt, -1.5},
      {"charge, charging with a negative current", with(kChargeBattery, {{"status", "Charging"}}),
       charge, ac, true, std::nullopt, 40, 1.5},
      {"full on the adapter: no estimate, the raw current kept",
       with(kChargeBattery, {{"status", "Full"}, {"current_now", "0"}}), charge, ac, false,
       std::nullopt, std::nullopt, 0.0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    BatteryReading expected = row.base;
    expected.powerSource = row.source;
    expected.isCharging = row.charging;
    expected.minutesToEmpty = row.toEmpty;
    expected.minutesToFull = row.toFull;
    expected.amperage = row.amperage;
    const auto reading = readTree(row.battery, row.source == ac ? "1" : "0");
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(rounded(*reading), expected);
  }
}

TEST(SysfsBatteryReadingTest, MissingAttributesStayAbsent) {
  // Only a capacity and a status: nothing else is made up, zero included.
  const auto bare =
      readTree({{"type", "Battery"}, {"capacity", "40"}, {"status", "Discharging"}}, "0");
  ASSERT_TRUE(bare.has_value());
  EXPECT_EQ(*bare, (BatteryReading{.percent = 40,
                                   .powerSource = PowerSource::battery,
                                   .isCharging = false,
                                   .timestamp = kNow}));

  // A rate of zero gives no estimate; malformed numbers count as missing.
  const auto idle =
      readTree(with(kEnergyBattery,
                    {{"status", "Discharging"}, {"power_now", "0"}, {"cycle_count", "lots"}}),
               "0");
  ASSERT_TRUE(idle.has_value());
  EXPECT_FALSE(idle->minutesToEmpty.has_value());
  EXPECT_FALSE(idle->cycleCount.has_value());

  // Without capacity the charge comes from energy_now / energy_full.
  Attributes noCapacity = with(kEnergyBattery, {{"status", "Discharging"}});
  noCapacity.erase("capacity");
  EXPECT_EQ(readTree(noCapacity, "0")->percent, 83);
  noCapacity.erase("energy_full");
  EXPECT_FALSE(readTree(noCapacity, "0").has_value()) << "no way to tell the charge";
}

TEST(SysfsBatteryReadingTest, ChoosesTheSystemBatteryAndTheAdapterState) {
  const auto battery = with(kEnergyBattery, {{"status", "Discharging"}});
  const Attributes mouse = {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "5"}};
  const Attributes adapterOff = {{"type", "Mains"}, {"online", "0"}};
  const Attributes usbOn = {{"type", "USB"}, {"online", "1"}};

  // A peripheral's battery listed first is not the machine's.
  auto reading = readingFromSysfs({{"A_mouse", mouse}, {"BAT0", battery}}, kNow);
  ASSERT_TRUE(reading.has_value());
  EXPECT_EQ(reading->percent, 83);
  EXPECT_FALSE(readingFromSysfs({{"mouse", mouse}, {"AC", adapterOff}}, kNow).has_value());
  EXPECT_FALSE(readingFromSysfs({}, kNow).has_value());

  // Any online adapter means ac, whatever the battery's status says.
  reading = readingFromSysfs({{"AC", adapterOff}, {"BAT0", battery}, {"ucsi", usbOn}}, kNow);
  EXPECT_EQ(reading->powerSource, PowerSource::ac);
  reading = readingFromSysfs({{"AC", adapterOff}, {"BAT0", battery}}, kNow);
  EXPECT_EQ(reading->powerSource, PowerSource::battery);

  // With no adapter listed at all, the battery's status tells.
  for (const auto& [status, source] :
       {std::pair{"Charging", PowerSource::ac}, std::pair{"Not charging", PowerSource::ac},
        std::pair{"Discharging", PowerSource::battery}}) {
    reading = readingFromSysfs({{"BAT0", with(battery, {{"status", status}})}}, kNow);
    EXPECT_EQ(reading->powerSource, source) << status;
  }
}

}  // namespace
}  // namespace brimwell
