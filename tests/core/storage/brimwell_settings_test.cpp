#include "brimwell/core/storage/brimwell_settings.h"

#include <gtest/gtest.h>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

BrimwellSettings decode(std::string_view text) {
  auto settings = BrimwellJSON::decode<BrimwellSettings>(text);
  EXPECT_TRUE(settings) << text;
  return settings.value_or(BrimwellSettings{.dimTarget = -1});
}

TEST(BrimwellSettingsTest, DefaultsEncodeToThirteenKeys) {
  EXPECT_EQ(BrimwellSettings::defaultsKey, "settings.v1");
  EXPECT_EQ(BrimwellJSON::encode(BrimwellSettings::defaults()).value(),
            R"({"alertSound":"Sosumi","cadence":{"brimwell":60.0,"landing":60.0,"ready":120.0,)"
            R"("watch":600.0},"captureClipboard":true,"commandSBundleIDs":[],"dimTarget":0.4,)"
            R"("excludedBundleIDs":[],"notifyAdapterChanges":false,"powerSaverDim":true,)"
            R"("powerSaverLowPowerMode":true,"protectAgainstCrashes":true,)"
            R"("safeLandingEnabled":false,"showCriticalOverlay":true,"thresholds":{"brimwell":10,)"
            R"("hysteresis":3,"landingMinutes":4,"landingPercent":3,"ready":20}})");
}

TEST(BrimwellSettingsTest, EachBadFieldFallsBackOnItsOwn) {
  const BrimwellSettings& defaults = BrimwellSettings::defaults();
  EXPECT_EQ(decode("{}"), defaults);

  const auto wrongDim = decode(R"({"dimTarget":"dark","powerSaverDim":false,"captureClipboard":
      false,"excludedBundleIDs":["a.b","c.d"],"unknownKey":1})");
  EXPECT_EQ(wrongDim, (BrimwellSettings{.powerSaverDim = false,
                                        .excludedBundleIDs = {"a.b", "c.d"},
                                        .captureClipboard = false}));

  const auto partialThresholds = decode(R"({"thresholds":{"ready":30,"brimwell":15,
      "landingPercent":5,"landingMinutes":6},"cadence":{"watch":300,"ready":90,"brimwell":45,
      "landing":30},"safeLandingEnabled":true})");
  EXPECT_EQ(partialThresholds.thresholds, Thresholds::defaults());
  EXPECT_EQ(partialThresholds.cadence, (CaptureCadence{300, 90, 45, 30}));
  EXPECT_TRUE(partialThresholds.safeLandingEnabled);

  const auto nulls = decode(R"({"protectAgainstCrashes":null,"showCriticalOverlay":0,
      "commandSBundleIDs":["x",1],"safeLandingProvenOnBootModel":7,"cadence":{"watch":"x",
      "ready":1,"brimwell":1,"landing":1}})");
  EXPECT_EQ(nulls, defaults);

  // Invalid thresholds are kept as stored; they are rejected where they are used.
  const auto invalid = decode(R"({"thresholds":{"ready":5,"brimwell":10,"landingPercent":3,
      "landingMinutes":4,"hysteresis":3},"safeLandingProvenOnBootModel":"Book9,1"})");
  EXPECT_EQ(invalid.thresholds.ready, 5);
  EXPECT_EQ(invalid.safeLandingProvenOnBootModel, "Book9,1");
}

TEST(BrimwellSettingsTest, AlertSoundNullMeansSilentMissingOrWrongMeansDefault) {
  const struct {
    const char* document;
    std::optional<std::string> sound;
  } cases[] = {
      {R"({"alertSound":null})", std::nullopt},
      {R"({})", "Sosumi"},
      {R"({"alertSound":3})", "Sosumi"},
      {R"({"alertSound":"Glass"})", "Glass"},
      {R"({"alertSound":""})", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(decode(c.document).alertSound, c.sound) << c.document;

  const auto silent = BrimwellJSON::encode(BrimwellSettings{.alertSound = std::nullopt}).value();
  EXPECT_EQ(silent.rfind(R"({"alertSound":null,)", 0), 0u) << silent;
}

TEST(BrimwellSettingsTest, OnlyANonObjectFailsAndEveryRecordRoundTrips) {
  for (const char* text : {"[]", "null", "\"settings\"", "3"}) {
    EXPECT_FALSE(BrimwellJSON::decode<BrimwellSettings>(text)) << text;
  }
  const BrimwellSettings records[] = {
      BrimwellSettings::defaults(),
      {Thresholds{95, 94, 1, 0, 10},
       CaptureCadence{1, 2, 3.5, 0},
       false,
       false,
       false,
       0.25,
       true,
       "Book9,1",
       {"com.a", "com.b/x"},
       {"com.c"},
       false,
       std::nullopt,
       true,
       false},
      {.thresholds = {0, 0, 0, 0, 0}, .alertSound = "Ping"},
  };
  for (const auto& record : records) {
    const auto text = BrimwellJSON::encode(record).value();
    EXPECT_EQ(decode(text), record) << text;
  }
}

}  // namespace
}  // namespace brimwell
