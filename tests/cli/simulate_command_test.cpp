#include "cli/simulate_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "brimwell/core/storage/json_coding.h"
#include "tests/cli/run_tool.h"

namespace brimwell {
namespace {

struct Simulation {
  testing::ToolRun run;
  std::vector<Json> entries;

  // Entries that have `key`, with `key` equal to `value` when it is given.
  std::vector<Json> with(const std::string& key, const std::string& value = "") const {
    std::vector<Json> found;
    for (const auto& entry : entries) {
      if (!entry.contains(key)) continue;
      if (value.empty() || (entry[key].is_string() && entry[key] == value)) found.push_back(entry);
    }
    return found;
  }
  // The position of the first entry with `key` = `value` at or after `from`, or -1.
  int find(const std::string& key, const std::string& value, int from = 0) const {
    for (int i = from; i < static_cast<int>(entries.size()); ++i) {
      if (entries[i].contains(key) && entries[i][key] == value) return i;
    }
    return -1;
  }
  std::vector<std::string> events() const {
    std::vector<std::string> names;
    for (const auto& entry : with("event")) {
      std::string name = entry["event"];
      if (entry.contains("phase")) name += " " + entry["phase"].get<std::string>();
      names.push_back(name);
    }
    return names;
  }
};

Simulation simulate(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "simulate");
  arguments.push_back("--json");
  Simulation simulation{testing::runTool(arguments), {}};
  for (const auto& line : testing::lines(simulation.run.out)) {
    simulation.entries.push_back(Json::parse(line));
  }
  return simulation;
}

Simulation simulateScenario(const testing::TempDir& dir, const std::string& text,
                            std::vector<std::string> extra = {}) {
  const auto path = dir / "scenario.jsonl";
  std::ofstream(path) << text;
  extra.insert(extra.begin(), path.string());
  return simulate(extra);
}

TEST(SimulateCommand, BuiltInRunLandsSafelyAndOffersTheRestoreAfterTheRestart) {
  testing::TempDir dir;
  const auto support = dir / "kept";
  const Simulation s = simulate({"--support", support.string()});
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  EXPECT_EQ(s.events(),
            (std::vector<std::string>{"unplugged", "enteredPhase ready", "enteredPhase brimwell",
                                      "savePassFinished", "enteredPhase landing",
                                      "savePassFinished", "safeLandingStarting"}));
  EXPECT_FALSE(s.with("savePass").empty());
  const auto savers = s.with("powerSaver");
  ASSERT_FALSE(savers.empty());
  EXPECT_EQ(savers.front()["powerSaver"].value("turnedOnLowPowerMode", false), true);
  EXPECT_EQ(savers.front()["powerSaver"].value("dimmedTo", 0.0), 0.4);

  // Safe Landing: the mode goes to 25 before the sleep and back to 3 after the wake.
  const int begun = s.find("pmset", "pmset -b hibernatemode 25");
  const int slept = s.find("machine", "sleep", begun);
  const int woke = s.find("machine", "wake", slept);
  const int putBack = s.find("pmset", "pmset -b hibernatemode 3", woke);
  ASSERT_GE(begun, 0);
  EXPECT_LT(begun, s.find("pmset", "pmset sleepnow"));
  EXPECT_GT(slept, begun);
  EXPECT_GT(woke, slept);
  EXPECT_GT(putBack, woke);

  // The restart in a new boot finds the journal and plans the offered snapshot.
  const int restarted = s.find("do", "restart");
  const int verdict = s.find("start", "ranOutOfBattery", restarted);
  ASSERT_GT(verdict, restarted);
  const auto plans = s.with("restorePlan");
  ASSERT_EQ(plans.size(), 1u);
  EXPECT_EQ(plans[0]["restorePlan"], s.entries[verdict]["snapshot"]);
  EXPECT_EQ(plans[0]["steps"][0], "launchApp");
  EXPECT_NE(s.entries[verdict]["boot"], s.entries[0].value("boot", s.entries[1].value("boot", "")));

  // --support keeps what the run wrote.
  EXPECT_TRUE(std::filesystem::exists(support / "journal.json"));
  EXPECT_FALSE(std::filesystem::is_empty(support / "Snapshots"));
}

TEST(SimulateCommand, ScenarioDischargeGoesThroughEveryPhaseInOrder) {
  testing::TempDir dir;
  const Simulation s = simulateScenario(dir,
                                        "{\"at\":0,\"battery\":\"50,battery,90\"}\n"
                                        "{\"at\":60,\"battery\":\"19,battery,40\"}\n"
                                        "{\"at\":120,\"battery\":\"9,battery,20\"}\n"
                                        "{\"at\":180,\"battery\":\"2,battery,5\"}\n");
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  const auto entered = s.with("event", "enteredPhase");
  ASSERT_EQ(entered.size(), 3u);
  EXPECT_EQ(entered[0]["phase"], "ready");
  EXPECT_EQ(entered[0]["t"], 60);
  EXPECT_EQ(entered[0]["percent"], 19);
  EXPECT_EQ(entered[1]["phase"], "brimwell");
  EXPECT_EQ(entered[2]["phase"], "landing");
  EXPECT_EQ(entered[2]["percent"], 2);
  // Safe Landing is off by default: nothing touches the hibernate mode.
  EXPECT_TRUE(s.with("event", "safeLandingStarting").empty());
  EXPECT_EQ(s.find("pmset", "pmset -b hibernatemode 25"), -1);
}

TEST(SimulateCommand, PluggingInReleasesPowerSavingOnceTheAdapterIsHeld) {
  testing::TempDir dir;
  const Simulation s = simulateScenario(dir,
                                        "{\"at\":0,\"battery\":\"9,battery,20\"}\n"
                                        "{\"at\":10,\"battery\":\"9,ac\"}\n"
                                        "{\"at\":120,\"battery\":\"10,ac\"}\n");
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  const int plugged = s.find("event", "pluggedIn");
  ASSERT_GE(plugged, 0);
  EXPECT_EQ(s.entries[plugged]["t"], 10);
  const auto savers = s.with("powerSaver");
  ASSERT_EQ(savers.size(), 2u);
  EXPECT_EQ(savers[0]["powerSaver"].value("turnedOnLowPowerMode", false), true);
  EXPECT_EQ(savers[1]["powerSaver"].value("turnedOnLowPowerMode", true), false);
  EXPECT_FALSE(savers[1]["powerSaver"].contains("dimmedTo"));
  // Not before the adapter has been held for 45 seconds.
  EXPECT_GE(savers[1]["t"].get<double>(), 55);
  const auto phases = s.with("phase");
  EXPECT_EQ(phases.back()["phase"], "watch");
}

TEST(SimulateCommand, DrillIsOfferedWhenTheEngineStartsAgainUnlessCleared) {
  struct Case {
    std::string actions;
    std::string verdict;
  };
  for (const Case& c : {
           Case{"{\"at\":10,\"do\":\"runDrill\"}\n", "drill"},
           Case{"{\"at\":10,\"do\":\"runDrill\"}\n{\"at\":20,\"do\":\"clearDrill\"}\n", "none"},
       }) {
    testing::TempDir dir;
    const Simulation s =
        simulateScenario(dir, "{\"at\":0,\"battery\":\"80,ac\"}\n" + c.actions +
                                  "{\"at\":30,\"do\":\"stop\"}\n{\"at\":40,\"do\":\"start\"}\n");
    ASSERT_EQ(s.run.status, 0) << s.run.err;
    const auto answers = s.with("answered", "runDrill");
    ASSERT_EQ(answers.size(), 1u) << c.actions;
    ASSERT_TRUE(answers[0]["snapshot"].is_string());
    const int stored = s.find("trigger", "drill");
    ASSERT_GE(stored, 0);
    EXPECT_EQ(s.entries[stored]["snapshot"], answers[0]["snapshot"]);
    const auto starts = s.with("start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1]["start"], c.verdict) << c.actions;
  }
}

TEST(SimulateCommand, BadInputIsOneSentenceAndNothingRuns) {
  testing::TempDir dir;
  const auto settings = (dir / "settings.json").string();
  struct Case {
    std::string scenario;
    std::string message;
    std::string settings = "{}";
  };
  const std::string good = "{\"at\":0,\"battery\":\"50,battery\"}\n";
  for (const Case& c : {
           Case{good + "{\"at\":5,\"battery\":\"fifty\"}\n",
                "Line 2 of the scenario has a \"battery\" that isn't like \"20,battery,35\".\n"},
           Case{good + "\n{\"at\":5,\"do\":\"dance\"}\n",
                "Line 3 of the scenario asks to do something unknown.\n"},
           Case{"{\"at\":5,\"do\":\"stop\"}\n{\"at\":4,\"do\":\"start\"}\n",
                "Line 2 of the scenario goes back in time.\n"},
           Case{good + "not json\n", "Line 2 of the scenario is not JSON.\n"},
           Case{"[1]\n", "Line 1 of the scenario is not a JSON object.\n"},
           Case{"{\"do\":\"stop\"}\n",
                "Line 1 of the scenario has no \"at\" of zero or more seconds.\n"},
           Case{"{\"at\":1,\"reading\":{\"percent\":5}}\n",
                "Line 1 of the scenario has a reading that doesn't decode: the key \"powerSource\" "
                "is missing.\n"},
           Case{good, "The settings file " + settings + " is not a JSON object.\n", "[]"},
       }) {
    std::ofstream(settings) << c.settings;
    const Simulation s = simulateScenario(dir, c.scenario, {"--settings", settings});
    EXPECT_EQ(s.run.status, 2) << c.scenario;
    EXPECT_EQ(s.run.err, c.message);
    EXPECT_TRUE(s.run.out.empty()) << c.scenario;
  }
}

TEST(SimulateCommand, SettingsDecodeTolerantly) {
  // A bad field falls back alone; the raised ready threshold is used.
  testing::TempDir dir;
  std::ofstream(dir / "settings.json")
      << R"({"thresholds":{"ready":40,"brimwell":10,"landingPercent":3,)"
         R"("landingMinutes":4,"hysteresis":3},"dimTarget":"dim"})";
  const Simulation s = simulateScenario(dir, "{\"at\":0,\"battery\":\"35,battery,60\"}\n",
                                        {"--settings", (dir / "settings.json").string()});
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  EXPECT_EQ(s.events(), std::vector<std::string>{"enteredPhase ready"});
}

}  // namespace
}  // namespace brimwell
