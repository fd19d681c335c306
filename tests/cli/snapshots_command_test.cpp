#include "cli/snapshots_command.h"

#include <gtest/gtest.h>

#include "tests/cli/run_tool.h"
#include "tests/cli/stored_snapshots.h"

namespace brimwell {
namespace {

const Date kStart = *BrimwellJSON::parse("2026-03-01T14:00:00Z");

TEST(SnapshotsCommandTest, ListsSummariesNewestFirstAsTextAndJson) {
  testing::TempDir support;
  const auto older =
      testing::stored(support, testing::makeSnapshot(kStart, 2, 3, CaptureTrigger::ready));
  const auto newer = testing::stored(
      support, testing::makeSnapshot(addSeconds(kStart, 90.25), 1, 0, CaptureTrigger::landing));

  const auto text = testing::runTool({"snapshots", "--support", support.path().string()});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(testing::lines(text.out),
            (std::vector<std::string>{
                "20260301T140130.250Z  2026-03-01T14:01:30.250Z  landing   apps 1  tabs 0  "
                "documents 2  rescued 1",
                "20260301T140000.000Z  2026-03-01T14:00:00.000Z  ready     apps 2  tabs 3  "
                "documents 3  rescued 1",
            }));

  const auto json = testing::runTool({"snapshots", "--json", "--support", support.path().string()});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto jsonLines = testing::lines(json.out);
  ASSERT_EQ(jsonLines.size(), 2u);
  EXPECT_EQ(BrimwellJSON::decode<SnapshotSummary>(jsonLines[0]).value(), SnapshotSummary(newer));
  EXPECT_EQ(BrimwellJSON::decode<SnapshotSummary>(jsonLines[1]).value(), SnapshotSummary(older));
}

TEST(SnapshotsCommandTest, SaysSoForAnEmptyStoreAndRefusesAMissingDirectory) {
  testing::TempDir support;
  const auto empty = testing::runTool({"snapshots", "--support", support.path().string()});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "No snapshots are stored in " + (support / "Snapshots").string() + ".\n");
  EXPECT_EQ(testing::runTool({"snapshots", "--json", "--support", support.path().string()}).out,
            "");

  const auto missing = (support / "nowhere").string();
  const auto refused = testing::runTool({"snapshots", "--support", missing});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "The support directory " + missing + " does not exist.\n");
  EXPECT_EQ(refused.out, "");
}

TEST(SnapshotsCommandTest, EveryCommandHasHelpAndBadUsageIsOneSentence) {
  for (const auto& command : std::vector<std::vector<std::string>>{{"snapshots", "--help"},
                                                                   {"snapshot", "show", "--help"},
                                                                   {"journal", "--help"},
                                                                   {"helper", "--help"},
                                                                   {"plan", "--help"},
                                                                   {"policy", "--help"},
                                                                   {"rescued", "--help"}}) {
    const auto help = testing::runTool(command);
    EXPECT_EQ(help.status, 0) << command[0];
    EXPECT_NE(help.out.find("Usage:"), std::string::npos) << command[0];
  }
  const auto bad = testing::runTool({"snapshots", "--colour"});
  EXPECT_NE(bad.status, 0);
  EXPECT_EQ(testing::lines(bad.err).size(), 1u) << bad.err;
  EXPECT_EQ(bad.err.substr(bad.err.size() - 2), ".\n");
}

}  // namespace
}  // namespace brimwell
