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

TEST(SnapshotCommandTest, RefusesInvalidAndUnknownIdentifiersInOneSentence) {
  testing::TempDir support;
  const struct {
    std::string id;
    std::string error;
  } cases[] = {
      {"latest", "\"latest\" is not a snapshot identifier.\n"},
      {"20260230T000000.000Z", "\"20260230T000000.000Z\" is not a snapshot identifier.\n"},
      {"20260301T140509.250Z",
       "No snapshot 20260301T140509.250Z is stored in " + (support / "Snapshots").string() + ".\n"},
  };
  for (const auto& c : cases) {
    const auto run =
        testing::runTool({"snapshot", "show", c.id, "--support", support.path().string()});
    EXPECT_EQ(run.status, 1) << c.id;
    EXPECT_EQ(run.err, c.error);
    EXPECT_EQ(run.out, "");
  }

  // A file that no longer decodes is reported, not printed.
  std::filesystem::create_directories(support / "Snapshots");
  testing::writeFile(support / "Snapshots/20260301T140509.250Z.json", "{\"schema\":1,");
  const auto broken = testing::runTool(
      {"snapshot", "show", "20260301T140509.250Z", "--support", support.path().string()});
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.err, "The snapshot 20260301T140509.250Z can't be read.\n");
}

}  // namespace
}  // namespace brimwell
