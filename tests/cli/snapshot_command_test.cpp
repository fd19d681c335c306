#include "cli/snapshot_command.h"

#include <gtest/gtest.h>

#include "tests/cli/run_tool.h"
#include "tests/cli/stored_snapshots.h"

namespace brimwell {
namespace {

TEST(SnapshotCommandTest, ShowsTheStoredSnapshotInItsFileEncoding) {
  testing::TempDir support;
  const auto snapshot = testing::stored(
      support, testing::makeSnapshot(*BrimwellJSON::parse("2026-03-01T14:05:09.250Z"), 2, 4,
                                     CaptureTrigger::drill));
  const auto run =
      testing::runTool({"snapshot", "show", snapshot.id, "--support", support.path().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, BrimwellJSON::encode(snapshot).value() + "\n");
  EXPECT_EQ(BrimwellJSON::decode<Snapshot>(run.out).value(), snapshot);
}

TEST(SnapshotCommandTest, RefusesInvalidUnknownAndUnreadableSnapshotsInOneSentence) {
  testing::TempDir support;
  std::filesystem::create_directories(support / "Snapshots");
  testing::writeFile(support / "Snapshots/20260301T140509.250Z.json", "{\"schema\":1,");
  const std::pair<std::string, std::string> cases[] = {
      {"latest", "\"latest\" is not a snapshot identifier.\n"},
      {"20260230T000000.000Z", "\"20260230T000000.000Z\" is not a snapshot identifier.\n"},
      {"20260301T140509.251Z",
       "No snapshot 20260301T140509.251Z is stored in " + (support / "Snapshots").string() + ".\n"},
      {"20260301T140509.250Z", "The snapshot 20260301T140509.250Z can't be read.\n"},
  };
  for (const auto& [id, error] : cases) {
    const auto run =
        testing::runTool({"snapshot", "show", id, "--support", support.path().string()});
    EXPECT_EQ(run.status, 1) << id;
    EXPECT_EQ(run.err, error);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace brimwell
