#include "cli/simulation/simulated_pmset.h"

#include <gtest/gtest.h>

#include "helper/pmset_parser.h"

namespace brimwell {
namespace {

std::string run(simulation::SimulatedPmset& pmset, std::vector<std::string> arguments,
                int expectedStatus = 0) {
  auto result = pmset.run("/usr/bin/pmset", arguments, 5, 1);
  EXPECT_TRUE(result.has_value());
  EXPECT_EQ(result->status, expectedStatus);
  return result->stdout;
}

TEST(SimulatedPmset, ChangesShowInTheListingsAsTheParserReadsThem) {
  simulation::SimulatedPmset pmset;
  pmset.onBattery = true;
  std::vector<std::string> lines;
  pmset.onCommand = [&](const std::string& line) { lines.push_back(line); };

  EXPECT_EQ(PmsetParser::batteryHibernateMode(run(pmset, {"-g", "custom"})), 3);
  EXPECT_EQ(PmsetParser::lowPowerMode(run(pmset, {"-g"})), false);
  run(pmset, {"-b", "hibernatemode", "25"});
  run(pmset, {"-a", "lowpowermode", "1"});
  const std::string custom = run(pmset, {"-g", "custom"});
  EXPECT_EQ(PmsetParser::batteryHibernateMode(custom), 25);
  EXPECT_EQ(PmsetParser::batteryLowPowerMode(custom), true);
  EXPECT_EQ(PmsetParser::sections(custom)["AC Power"]["hibernatemode"], "3");
  EXPECT_EQ(PmsetParser::lowPowerMode(run(pmset, {"-g"})), true);
  run(pmset, {"sleepnow"});
  EXPECT_EQ(pmset.sleeps, 1);
  EXPECT_EQ(lines[2], "pmset -b hibernatemode 25");
  EXPECT_EQ(lines.back(), "pmset sleepnow");
}

TEST(SimulatedPmset, RefusesWhatTheToolWouldRefuse) {
  simulation::SimulatedPmset pmset;
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"-b", "hibernatemode", "x"}, {"-b", "lowpowermode", "2"}, {"-z"}, {}}) {
    run(pmset, arguments, 1);
  }
  EXPECT_EQ(pmset.batteryHibernateMode, 3);
  EXPECT_FALSE(pmset.batteryLowPowerMode);
}

}  // namespace
}  // namespace brimwell
