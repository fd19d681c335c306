#include "helper/helper_command.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

using namespace helper_command;
using Args = std::vector<std::string>;

TEST(HelperCommandTest, ArgumentsAreExactlyTheTabledCommandLines) {
  const std::pair<HelperCommand, Args> rows[] = {
      {SetAllLowPowerMode{true}, {"-a", "lowpowermode", "1"}},
      {SetAllLowPowerMode{false}, {"-a", "lowpowermode", "0"}},
      {SetBatteryLowPowerMode{true}, {"-b", "lowpowermode", "1"}},
      {SetBatteryLowPowerMode{false}, {"-b", "lowpowermode", "0"}},
      {SetBatteryHibernateMode{HibernateMode::noImage}, {"-b", "hibernatemode", "0"}},
      {SetBatteryHibernateMode{HibernateMode::memoryPowered}, {"-b", "hibernatemode", "3"}},
      {SetBatteryHibernateMode{HibernateMode::hibernate}, {"-b", "hibernatemode", "25"}},
      {ReadSettings{}, {"-g"}},
      {ReadCustom{}, {"-g", "custom"}},
      {SleepNow{}, {"sleepnow"}},
  };
  for (const auto& [command, expected] : rows) EXPECT_EQ(arguments(command), expected);
  EXPECT_EQ(hibernateModeFromRaw(25), HibernateMode::hibernate);
  EXPECT_EQ(hibernateModeFromRaw(1), std::nullopt);
}

}  // namespace
}  // namespace brimwell
