#include "brimwell/core/helper/brimwell_helper_constants.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

using namespace BrimwellHelperConstants;

TEST(BrimwellHelperConstantsTest, TimeBudgetsFollowTheCommandCounts) {
  struct Row {
    HelperCall call;
    int runs;
    double worst;
    double client;
  };
  const Row rows[] = {
      {HelperCall::helperVersion, 0, 0, 2},
      {HelperCall::lowPowerMode, 1, 52, 57},
      {HelperCall::batteryHibernateMode, 1, 52, 57},
      {HelperCall::sleepNow, 1, 52, 57},
      {HelperCall::setLowPowerMode, 2, 65, 70},
      {HelperCall::endSafeLanding, 2, 65, 70},
      {HelperCall::setBatteryHibernateMode, 3, 78, 83},
      {HelperCall::beginLowPowerMode, 3, 78, 83},
      {HelperCall::endLowPowerMode, 3, 78, 83},
      {HelperCall::beginSafeLanding, 3, 78, 83},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(toString(row.call));
    EXPECT_EQ(commandRuns(row.call), row.runs);
    EXPECT_DOUBLE_EQ(helperWorstCase(row.call), row.worst);
    EXPECT_DOUBLE_EQ(clientTimeout(row.call), row.client);
  }
  EXPECT_EQ(allowedHibernateModes, (std::set<std::int64_t>{0, 3, 25}));
}

TEST(BrimwellHelperConstantsTest, BuildVersionAcceptsOnlyWholePlainDecimalText) {
  using Info = std::map<std::string, InfoValue>;
  const auto v = [](const char* text) { return Info{{"CFBundleVersion", std::string(text)}}; };
  const std::pair<Info, std::optional<std::int64_t>> rows[] = {
      {{}, std::nullopt},
      {v("7"), 7},
      {v("+7"), 7},
      {v("-3"), -3},
      {v("-9223372036854775808"), INT64_MIN},
      {v("2.0"), std::nullopt},
      {v("12 "), std::nullopt},
      {v(""), std::nullopt},
      {v("+"), std::nullopt},
      {v("9223372036854775808"), std::nullopt},
      {{{"CFBundleVersion", std::int64_t{7}}}, std::nullopt},
      {{{"CFBundleShortVersionString", std::string("7")}}, std::nullopt},
  };
  for (const auto& [info, expected] : rows) EXPECT_EQ(buildVersion(info), expected);
}

TEST(BrimwellHelperConstantsTest, RequirementsDifferOnlyInTheIdentifier) {
  std::string client(clientRequirement);
  client.replace(client.find("\"com.tallowgate.brimwell\""), 25,
                 "\"com.tallowgate.brimwell.helper\"");
  EXPECT_EQ(client, helperRequirement);
  EXPECT_NE(clientRequirement.find("leaf[subject.OU] = \"QX7T31ZK4M\""), std::string_view::npos);
}

}  // namespace
}  // namespace brimwell
