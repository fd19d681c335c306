#include "brimwell/core/power/fake_battery_spec.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

using enum PowerSource;

TEST(FakeBatterySpecTest, ParseFollowsTheExampleTable) {
  const struct {
    const char* text;
    FakeBatterySpec expected;
  } cases[] = {
      {"50,ac", FakeBatterySpec{50, ac, std::nullopt}},
      {" \n 20 , Batt , 35 \n", FakeBatterySpec{20, battery, 35}},
      {"50,AC", FakeBatterySpec{50, ac, std::nullopt}},
      {"50,,ac", FakeBatterySpec{50, ac, std::nullopt}},
      {",50,ac,", FakeBatterySpec{50, ac, std::nullopt}},
      {"50,ac,40", FakeBatterySpec{50, ac, 40}},
      {"+7,BATTERY,+0", FakeBatterySpec{7, battery, 0}},
      {"100,ac", FakeBatterySpec{100, ac, std::nullopt}},
      {"0,battery", FakeBatterySpec{0, battery, std::nullopt}},
      {"\t20\t,battery", FakeBatterySpec{20, battery, std::nullopt}},
  };
  for (const auto& c : cases) EXPECT_EQ(FakeBatterySpec::parse(c.text), c.expected) << c.text;
  // Beyond 64 bits, and a line break inside (only the ends are trimmed), are rejected too.
  for (const char* text :
       {"20,battery,-1", "101,ac", "-1,ac", "20", "20,ups", "20,ac,5,6", "50, ,ac", "5 0,ac",
        "0x10,ac", "20,battery,3.5", "+,ac", "99999999999999999999,ac", "20\n,ac", ""}) {
    EXPECT_EQ(FakeBatterySpec::parse(text), std::nullopt) << text;
  }
}

TEST(FakeBatterySpecTest, ReadingChargesOnlyOnTheAdapterBelowFullAndKeepsMinutesOnBattery) {
  const Date at = Date(std::chrono::seconds(1000));
  const struct {
    FakeBatterySpec fake;
    bool charging;
    std::optional<int> minutes;
  } cases[] = {
      {{100, ac, std::nullopt}, false, std::nullopt},
      {{99, ac, 40}, true, std::nullopt},
      {{0, battery, 3}, false, 3},
      {{50, battery, std::nullopt}, false, std::nullopt},
  };
  for (const auto& c : cases) {
    const BatteryReading expected{.percent = c.fake.percent,
                                  .powerSource = c.fake.powerSource,
                                  .isCharging = c.charging,
                                  .minutesToEmpty = c.minutes,
                                  .timestamp = at};
    const BatteryReading reading = c.fake.reading(at);
    EXPECT_EQ(reading, expected) << c.fake.percent;
    EXPECT_EQ(reading.batteryWatts(), std::nullopt);
  }
}

}  // namespace
}  // namespace brimwell
