#include "helper/helper_command.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

using namespace helper_command;
using Args = std::vector<std::string>;

TEST(HelperCommandTest, ArgumentsAreExactlyTheTabledCommandLinesAndReadBackAsThemselves) {
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
  for (const auto& [command, expected] : rows) {
    EXPECT_EQ(arguments(command), expected);
    // The power tool reads back exactly the command the daemon wrote.
    const auto read = parseHelperCommand(expected);
    ASSERT_TRUE(read) << read.error().message();
    EXPECT_EQ(*read, command);
  }
  const std::pair<Args, std::string> refused[] = {
      {{"-b", "lowpowermode", "2"}, "Low Power Mode is 0 or 1, not 2."},
      {{"-a", "lowpowermode", "01"}, "Low Power Mode is 0 or 1, not 01."},
      {{"-b", "hibernatemode", "1"}, "The hibernate mode is 0, 3 or 25, not 1."},
      {{"-a", "hibernatemode", "25"}, ""},
      {{"-g", "ps"}, ""},
      {{"sleepnow", "now"}, ""},
      {{}, ""},
  };
  for (const auto& [line, sentence] : refused) {
    const auto read = parseHelperCommand(line);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().message(),
              sentence.empty() ? "This tool answers only -g, -g custom, sleepnow, -a or -b "
                                 "lowpowermode 0 or 1, and -b hibernatemode 0, 3 or 25."
                               : sentence);
  }
  EXPECT_EQ(hibernateModeFromRaw(25), HibernateMode::hibernate);
  EXPECT_EQ(hibernateModeFromRaw(1), std::nullopt);
}

}  // namespace
}  // namespace brimwell
