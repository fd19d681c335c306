#include "brimwell/core/power/battery_reading.h"

#include <gtest/gtest.h>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

const Date kAt = Date(std::chrono::milliseconds(1'772'373'909'250));  // 2026-03-01T14:05:09.250Z

TEST(BatteryReadingTest, BatteryWattsNeedsBothAmperageAndVoltage) {
  const struct {
    std::optional<double> voltage, amperage, watts;
  } cases[] = {
      {12.0, -1.5, -18.0},
      {12.0, 2.0, 24.0},
      {std::nullopt, -1.5, std::nullopt},
      {12.0, std::nullopt, std::nullopt},
      {12.0, 0.0, 0.0},
  };
  for (const auto& c : cases) {
    const BatteryReading reading{.percent = 50, .voltage = c.voltage, .amperage = c.amperage};
    EXPECT_EQ(reading.batteryWatts(), c.watts);
  }
}

TEST(BatteryReadingTest, EncodesOnlyPresentKeysSortedAndRoundTrips) {
  const BatteryReading bare{
      .percent = 42, .powerSource = PowerSource::ac, .isCharging = true, .timestamp = kAt};
  EXPECT_EQ(BrimwellJSON::encode(bare).value(),
            R"({"isCharging":true,"percent":42,"powerSource":"ac",)"
            R"("timestamp":"2026-03-01T14:05:09.250Z"})");

  const BatteryReading full{42, PowerSource::battery, false, 35, 0, 812, 91.5, 31.2, 0, 12.4, -1.5,
                            kAt};
  const auto back = BrimwellJSON::decode<BatteryReading>(BrimwellJSON::encode(full).value());
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, full);  // zeros survive as values, not as absences
  EXPECT_NE(*back, bare);
}

TEST(BatteryReadingTest, DecodingIsStrictForRequiredKeysAndTypes) {
  const auto decode = [](const std::string& fields) {
    return BrimwellJSON::decode<BatteryReading>("{" + fields +
                                                R"(,"timestamp":"2026-03-01T14:05:09Z"})");
  };
  EXPECT_FALSE(decode(R"("percent":5,"powerSource":"AC","isCharging":false)"));
  EXPECT_FALSE(decode(R"("percent":5,"powerSource":"battery")"));  // isCharging missing
  EXPECT_FALSE(decode(R"("percent":5,"powerSource":"battery","isCharging":1)"));
  EXPECT_FALSE(decode(R"("percent":5,"powerSource":"ac","isCharging":false,"voltage":"12")"));
  EXPECT_FALSE(BrimwellJSON::decode<BatteryReading>(
      R"({"percent":5,"powerSource":"ac","isCharging":false})"));

  const auto tolerant = decode(
      R"("percent":5,"powerSource":"battery","isCharging":false,"amperage":null,"extra":[1])");
  ASSERT_TRUE(tolerant);
  EXPECT_EQ(tolerant->amperage, std::nullopt);
  EXPECT_EQ(tolerant->percent, 5);
}

}  // namespace
}  // namespace brimwell
