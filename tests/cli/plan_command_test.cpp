#include "cli/plan_command.h"

#include <gtest/gtest.h>

#include "tests/cli/run_tool.h"
#include "tests/cli/stored_snapshots.h"

namespace brimwell {
namespace {

struct PlanFixture {
  testing::TempDir support;
  Snapshot snapshot;

  PlanFixture()
      : snapshot(testing::stored(
            support, testing::makeSnapshot(*BrimwellJSON::parse("2026-03-01T14:05:09.250Z"), 2, 2,
                                           CaptureTrigger::landing))) {}

  // `--id ID` in `extra` asks for ID instead of the stored snapshot.
  testing::ToolRun plan(std::vector<std::string> extra = {}) const {
    std::string id = snapshot.id;
    if (extra.size() == 2 && extra[0] == "--id") id = extra[1], extra.clear();
    std::vector<std::string> arguments = {"plan", id, "--support", support.path().string()};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return testing::runTool(arguments);
  }
};

// The plan's steps as "name" or "name:path,path" for openDocuments.
std::vector<std::string> stepsOf(const std::string& output) {
  std::vector<std::string> steps;
  const auto plan = BrimwellJSON::parseTree(output);
  if (!plan) return {"not JSON"};
  for (const auto& step : (*plan)["steps"]) {
    std::string text = step["step"];
    if (text == "openDocuments") {
      text += ":";
      for (const auto& path : step["paths"]) text += path.get<std::string>() + ",";
    }
    if (text == "launchApp" || text == "placeWindows")
      text += ":" + step["app"]["name"].get<std::string>();
    steps.push_back(text);
  }
  return steps;
}

TEST(PlanCommandTest, PlansEverythingByDefaultAndFollowsTheGivenFiles) {
  PlanFixture fixture;
  const auto everything = fixture.plan();
  ASSERT_EQ(everything.status, 0) << everything.err;
  EXPECT_EQ(BrimwellJSON::parseTree(everything.out).value()["snapshotID"], fixture.snapshot.id);
  // The browser window is left out: no browser application was running at capture time.
  EXPECT_EQ(
      stepsOf(everything.out),
      (std::vector<std::string>{
          "launchApp:App 0", "launchApp:App 1",
          "openDocuments:/home/ann/notes0.txt,/home/ann/Documents/Brimwell Rescued/Draft.txt,",
          "openDocuments:/home/ann/notes1.txt,", "placeWindows:App 0", "placeWindows:App 1"}));

  // App 0 runs and notes1 is open now; the rescued copy isn't selected.
  testing::writeFile(fixture.support / "selection.json",
                     R"({"clipboardWasDefault":false,)"
                     R"("documentPaths":["/home/ann/notes0.txt","/home/ann/notes1.txt"]})");
  testing::writeFile(fixture.support / "current.json",
                     R"({"runningBundleIDs":["org.example.app0"],"runningAppPaths":[],)"
                     R"("openDocumentPaths":["/home/ann/notes1.txt"],"openTabURLs":{},)"
                     R"("openFinderPaths":[],"clipboardIsEmpty":false,"openTerminalTabs":{}})");
  const auto chosen = fixture.plan({"--selection", (fixture.support / "selection.json").string(),
                                    "--current", (fixture.support / "current.json").string()});
  ASSERT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_EQ(stepsOf(chosen.out),
            (std::vector<std::string>{"launchApp:App 1", "openDocuments:/home/ann/notes0.txt,",
                                      "placeWindows:App 0", "placeWindows:App 1"}));
}

TEST(PlanCommandTest, BadFilesAndIdentifiersAreOneSentence) {
  PlanFixture fixture;
  const auto selection = (fixture.support / "selection.json").string();
  const auto current = (fixture.support / "current.json").string();
  testing::writeFile(selection, R"({"documentPaths":[]})");
  testing::writeFile(current, "{\"runningBundleIDs\":");

  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"--selection", selection},
       "The selection file " + selection +
           " is not a restore selection: the key \"clipboardWasDefault\" is missing.\n"},
      {{"--current", current},
       "The current-workspace file " + current + " is not a current workspace: "},
      {{"--selection", fixture.support / "absent.json"},
       "The selection file " + (fixture.support / "absent.json").string() +
           " can't be read: no such file or directory.\n"},
      {{"--id", "newest"}, "\"newest\" is not a snapshot identifier.\n"},
  };
  for (const auto& c : cases) {
    const auto run = fixture.plan(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind(c.error, 0), 0u) << run.err;
    EXPECT_EQ(testing::lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace brimwell
