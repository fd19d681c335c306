#include "brimwell/core/power/phase_policy.h"

#include <gtest/gtest.h>

#include "brimwell/core/power/capture_cadence.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

constexpr auto watch = Phase::watch;
constexpr auto ready = Phase::ready;
constexpr auto brimwell = Phase::brimwell;
constexpr auto landing = Phase::landing;
constexpr std::nullopt_t none = std::nullopt;

BatteryReading onBattery(int percent, std::optional<int> minutes = none) {
  return {.percent = percent, .powerSource = PowerSource::battery, .minutesToEmpty = minutes};
}

TEST(PhaseTest, OrderedBySeverityWithRawValues) {
  EXPECT_TRUE(watch < ready && ready < brimwell && brimwell < landing);
  EXPECT_EQ(allCases<Phase>(), (std::array{watch, ready, brimwell, landing}));
  EXPECT_EQ(enumFromString<Phase>("Landing"), none);
}

TEST(ThresholdsTest, IsValidRejectsEachSingleViolationAndAcceptsTheExtremes) {
  const auto with = [](auto change) {
    Thresholds t = Thresholds::defaults();
    change(t);
    return t;
  };
  const struct {
    const char* what;
    Thresholds thresholds;
    bool valid;
  } cases[] = {
      {"defaults", Thresholds::defaults(), true},
      {"extremes", {95, 94, 1, 0, 10}, true},
      {"other extremes", {3, 2, 1, 30, 1}, true},
      {"ready 0", with([](Thresholds& t) { t.ready = 0; }), false},
      {"ready 96", with([](Thresholds& t) { t.ready = 96; }), false},
      {"brimwell = ready", with([](Thresholds& t) { t.brimwell = 20; }), false},
      {"landing = brimwell", with([](Thresholds& t) { t.landingPercent = 10; }), false},
      {"landing 0", with([](Thresholds& t) { t.landingPercent = 0; }), false},
      {"minutes 31", with([](Thresholds& t) { t.landingMinutes = 31; }), false},
      {"minutes -1", with([](Thresholds& t) { t.landingMinutes = -1; }), false},
      {"hysteresis 0", with([](Thresholds& t) { t.hysteresis = 0; }), false},
      {"hysteresis 11", with([](Thresholds& t) { t.hysteresis = 11; }), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.thresholds.isValid(), c.valid) << c.what;
}

TEST(ThresholdsTest, JsonNeedsAllFiveKeys) {
  const Thresholds custom{30, 15, 5, 6, 2};
  EXPECT_EQ(BrimwellJSON::decode<Thresholds>(BrimwellJSON::encode(custom).value()).value(), custom);
  const auto missing = BrimwellJSON::decode<Thresholds>(
      R"({"ready":20,"brimwell":10,"landingPercent":3,"landingMinutes":4})");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(), "The key \"hysteresis\" is missing.");
}

TEST(CaptureCadenceTest, IntervalPerPhaseAndJsonNeedsAllFourKeys) {
  // The defaults are pinned by the settings' JSON form.
  const CaptureCadence custom{300, 90, 45, 30};
  EXPECT_EQ((std::array{custom.interval(watch), custom.interval(ready), custom.interval(brimwell),
                        custom.interval(landing)}),
            (std::array{300.0, 90.0, 45.0, 30.0}));
  EXPECT_EQ(BrimwellJSON::encode(custom).value(),
            R"({"brimwell":45.0,"landing":30.0,"ready":90.0,"watch":300.0})");
  EXPECT_EQ(BrimwellJSON::decode<CaptureCadence>(BrimwellJSON::encode(custom).value()).value(),
            custom);
  EXPECT_FALSE(BrimwellJSON::decode<CaptureCadence>(R"({"watch":1,"ready":1,"brimwell":1})"));
}

TEST(PhasePolicyTest, MinutesQualify) {
  const Thresholds t = Thresholds::defaults();
  const struct {
    std::optional<int> minutes;
    int percent;
    bool qualifies;
  } cases[] = {
      {none, 5, false}, {5, 8, false}, {2, 15, false}, {2, 11, false}, {0, 8, false},
      {0, 3, true},     {4, 10, true}, {1, 1, true},   {-1, 8, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PhasePolicy::minutesQualify(c.minutes, c.percent, t), c.qualifies)
        << c.minutes.value_or(-99) << " min at " << c.percent << " %";
  }
}

// A flag of none leaves the minutes rule to the reading's own estimate.
TEST(PhasePolicyTest, TargetPhaseByPercentSourceAndMinutesRule) {
  const struct {
    BatteryReading reading;
    std::optional<bool> byMinutes;
    Phase target;
  } cases[] = {{onBattery(100), false, watch},
               {onBattery(21), false, watch},
               {onBattery(20), false, ready},
               {onBattery(11), false, ready},
               {onBattery(10), false, brimwell},
               {onBattery(4), false, brimwell},
               {onBattery(4), true, landing},
               {onBattery(11), true, ready},
               {onBattery(3), false, landing},
               {onBattery(0), false, landing},
               {{.percent = 2, .powerSource = PowerSource::ac}, true, watch},
               {onBattery(8, 4), none, landing},
               {onBattery(8, 0), none, brimwell},
               {onBattery(15, 2), none, ready}};
  const Thresholds t = Thresholds::defaults();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reading.percent);
    EXPECT_EQ(c.byMinutes ? PhasePolicy::phase(c.reading, t, *c.byMinutes)
                          : PhasePolicy::phase(c.reading, t),
              c.target);
  }
}

TEST(PhasePolicyTest, NextStepsDownAtOnceAndBackOnePhaseAtATimeWithHysteresis) {
  const Thresholds custom{40, 25, 10, 8, 5};
  const struct {
    Phase current;
    BatteryReading reading;
    std::optional<bool> byMinutes;
    Phase result;
    Thresholds t = Thresholds::defaults();
  } cases[] = {{watch, onBattery(20), false, ready},
               {watch, onBattery(2), false, landing},
               {ready, onBattery(22), false, ready},
               {ready, onBattery(23), false, watch},
               {landing, onBattery(5, 10), false, landing},
               {landing, onBattery(6, 5), false, landing},
               {landing, onBattery(6), false, brimwell},
               {landing, onBattery(6, 7), false, brimwell},
               {landing, onBattery(30, 90), false, watch},
               {landing, onBattery(30, 6), false, landing},
               {landing, onBattery(12), false, brimwell},
               {landing, onBattery(13), false, ready},
               {brimwell, onBattery(8), true, landing},
               {brimwell, onBattery(12), false, brimwell},
               {ready, onBattery(20), false, ready},
               {landing, {.percent = 1, .powerSource = PowerSource::ac}, true, watch},
               {brimwell, {.percent = 50, .powerSource = PowerSource::ac}, false, watch},
               {brimwell, onBattery(8, 3), none, landing},
               {brimwell, onBattery(8, 5), none, brimwell},
               {ready, onBattery(44), none, ready, custom},
               {ready, onBattery(45), none, watch, custom},
               {landing, onBattery(15, 12), none, landing, custom},
               {landing, onBattery(15, 13), none, brimwell, custom},
               {watch, onBattery(25, 8), none, landing, custom}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(toString(c.current)) + " at " + std::to_string(c.reading.percent) +
                 " %");
    EXPECT_EQ(c.byMinutes ? PhasePolicy::next(c.current, c.reading, c.t, *c.byMinutes)
                          : PhasePolicy::next(c.current, c.reading, c.t),
              c.result);
  }
}

}  // namespace
}  // namespace brimwell
