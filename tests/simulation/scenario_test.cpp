#include "cli/simulation/scenario.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

using simulation::ScenarioAction;

TEST(Scenario, ReadsEachKindOfLine) {
  auto scenario = simulation::parseScenario(
      "{\"at\":0,\"battery\":\"20, Battery ,35\"}\n"
      "\n"
      "{\"at\":1.5,\"reading\":{\"percent\":19,\"powerSource\":\"ac\",\"isCharging\":true,"
      "\"voltage\":11.4}}\r\n"
      "{\"at\":1.5,\"do\":\"restart\"}");
  ASSERT_TRUE(scenario) << scenario.error().message();
  ASSERT_EQ(scenario->size(), 3u);
  const auto& first = std::get<BatteryReading>((*scenario)[0].what);
  EXPECT_EQ(first.percent, 20);
  EXPECT_EQ(first.powerSource, PowerSource::battery);
  EXPECT_EQ(first.minutesToEmpty, 35);
  const auto& second = std::get<BatteryReading>((*scenario)[1].what);
  EXPECT_EQ((*scenario)[1].at, 1.5);
  EXPECT_TRUE(second.isCharging);
  EXPECT_EQ(second.voltage, 11.4);
  EXPECT_EQ(std::get<ScenarioAction>((*scenario)[2].what), ScenarioAction::restart);
}

TEST(Scenario, BuiltInDischargeUnplugsAt60AndEndsWithARestart) {
  const auto scenario = simulation::builtInDischarge();
  const auto& unplugged = std::get<BatteryReading>(scenario[3].what);
  EXPECT_EQ(std::get<BatteryReading>(scenario[0].what).percent, 62);
  EXPECT_EQ(std::get<BatteryReading>(scenario[2].what).powerSource, PowerSource::ac);
  EXPECT_EQ(unplugged.percent, 60);
  EXPECT_EQ(unplugged.powerSource, PowerSource::battery);
  EXPECT_EQ(std::get<BatteryReading>(scenario[scenario.size() - 2].what).percent, 2);
  EXPECT_EQ(std::get<ScenarioAction>(scenario.back().what), ScenarioAction::restart);
  for (std::size_t i = 1; i < scenario.size(); ++i) EXPECT_GT(scenario[i].at, scenario[i - 1].at);
}

}  // namespace
}  // namespace brimwell
