#include "cli/helper_command.h"

#include <gtest/gtest.h>

#include "tests/cli/run_tool.h"

namespace brimwell {
namespace {

TEST(HelperCommandTest, RefusesBadCallsAndReportsAnAbsentDaemon) {
  testing::TempDir dir;
  const std::string socket = (dir / "helper.sock").string();
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string error;
  } cases[] = {
      {{"helper", "hibernate"},
       2,
       "\"hibernate\" is not a helper operation; use one of helperVersion, lowPowerMode, "
       "setLowPowerMode, batteryHibernateMode, setBatteryHibernateMode, sleepNow, "
       "beginLowPowerMode, endLowPowerMode, beginSafeLanding, endSafeLanding.\n"},
      {{"helper", "setLowPowerMode", "yes"}, 2, "setLowPowerMode needs on or off.\n"},
      {{"helper", "setBatteryHibernateMode", "3x"},
       2,
       "setBatteryHibernateMode needs a whole-number MODE.\n"},
      {{"helper", "sleepNow", "now"}, 2, "sleepNow takes no argument.\n"},
      {{"helper", "lowPowerMode", "--socket", socket},
       1,
       "The Brimwell helper is not installed.\n"},
  };
  for (const auto& c : cases) {
    const auto run = testing::runTool(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments[1];
    EXPECT_EQ(run.err, c.error);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace brimwell
