#include "cli/journal_command.h"

#include <gtest/gtest.h>

#include "brimwell/core/journal/journal_store.h"
#include "tests/cli/run_tool.h"
#include "tests/cli/stored_snapshots.h"

namespace brimwell {
namespace {

const Date kHeartbeat = *BrimwellJSON::parse("2026-03-01T14:30:00Z");

struct Judged {
  Json journal;
  Json verdict;
};

Judged judge(const testing::TempDir& support, const std::string& bootSession,
             const std::string& settings = "/nonexistent/settings.json") {
  const auto run = testing::runTool({"journal", "--json", "--support", support.path().string(),
                                     "--boot-session", bootSession, "--settings", settings});
  EXPECT_EQ(run.status, 0) << run.err;
  const auto line = BrimwellJSON::parseTree(run.out);
  if (!line) return {};
  EXPECT_EQ((*line)["bootSession"], bootSession);
  return {(*line)["journal"], (*line)["verdict"]};
}

TEST(JournalCommandTest, JudgesTheStoredJournalInTheGivenBootSession) {
  testing::TempDir support;
  const BrimwellPaths paths{support.path(), support / "rescued"};
  const auto snapshot = testing::stored(
      support, testing::makeSnapshot(addSeconds(kHeartbeat, -600), 1, 1, CaptureTrigger::landing));
  Journal journal{.heartbeat = kHeartbeat,
                  .batteryPercent = 2,
                  .powerSource = PowerSource::battery,
                  .phase = Phase::landing,
                  .bootSessionUUID = "boot-1",
                  .latestSnapshotID = snapshot.id,
                  .appVersion = "0.1.0"};
  JournalStore journals(paths);
  ASSERT_TRUE(journals.write(journal));

  // After a restart on an empty battery: the latest snapshot is offered.
  auto judged = judge(support, "boot-2");
  EXPECT_EQ(BrimwellJSON::decodeTree<Journal>(judged.journal).value(), journal);
  EXPECT_EQ(judged.verdict,
            Json::parse(R"({"kind":"ranOutOfBattery","at":"2026-03-01T14:30:00.000Z",
                                            "snapshotID":")" +
                        snapshot.id + "\"}"));

  // In the same boot session the machine never went down.
  EXPECT_EQ(judge(support, "boot-1").verdict, Json::parse(R"({"kind":"none"})"));

  // A pending drill whose snapshot is stored is offered in either session.
  journal.drillPending = true;
  journal.drillSnapshotID = snapshot.id;
  journal.phase = Phase::watch;
  journal.powerSource = PowerSource::ac;
  journal.batteryPercent = 80;
  ASSERT_TRUE(journals.write(journal));
  EXPECT_EQ(judge(support, "boot-1").verdict,
            Json::parse(R"({"kind":"drill","snapshotID":")" + snapshot.id + "\"}"));

  // Once the snapshot is gone the store no longer contains it, and nothing is offered.
  std::filesystem::remove(paths.snapshots() / (snapshot.id + ".json"));
  EXPECT_EQ(judge(support, "boot-2").verdict, Json::parse(R"({"kind":"none"})"));

  const auto text =
      testing::runTool({"journal", "--support", support.path().string(), "--boot-session", "boot-2",
                        "--settings", "/nonexistent/settings.json"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(testing::lines(text.out),
            (std::vector<std::string>{"journal: " + BrimwellJSON::encode(journal).value(),
                                      "boot session: boot-2", "verdict: none"}));
}

// The engine judges with the user's thresholds at its next start; so does the command.
TEST(JournalCommandTest, JudgesWithTheUsersThresholds) {
  testing::TempDir support;
  const auto snapshot = testing::stored(
      support, testing::makeSnapshot(addSeconds(kHeartbeat, -60), 1, 1, CaptureTrigger::watch));
  ASSERT_TRUE(JournalStore(BrimwellPaths{support.path(), support / "rescued"})
                  .write(Journal{.heartbeat = kHeartbeat,
                                 .batteryPercent = 25,
                                 .powerSource = PowerSource::battery,
                                 .phase = Phase::watch,
                                 .bootSessionUUID = "boot-1",
                                 .latestSnapshotID = snapshot.id,
                                 .appVersion = "0.1.0"}));
  const auto settings = (support / "settings.json").string();
  const std::string ready30 =
      R"({"thresholds":{"ready":30,"brimwell":10,"landingPercent":3,"landingMinutes":4,"hysteresis":3}})";
  const struct {
    std::string file;
    const char* kind;
  } cases[] = {
      {"", "unexpectedShutdown"},  // no file: the defaults, 25 % is above `ready`
      {ready30, "ranOutOfBattery"},
      {R"({"thresholds":{"ready":30,"brimwell":40,"landingPercent":3,"landingMinutes":4,)"
       R"("hysteresis":3}})",
       "unexpectedShutdown"},  // thresholds that aren't valid: the defaults
  };
  for (const auto& c : cases) {
    std::filesystem::remove(settings);
    if (!c.file.empty()) testing::writeFile(settings, c.file);
    EXPECT_EQ(judge(support, "boot-2", settings).verdict["kind"], c.kind) << c.file;
  }
}

TEST(JournalCommandTest, AMissingOrDamagedJournalGivesNone) {
  testing::TempDir support;
  auto judged = judge(support, "boot-2");
  EXPECT_TRUE(judged.journal.is_null());
  EXPECT_EQ(judged.verdict, Json::parse(R"({"kind":"none"})"));

  testing::writeFile(support / "journal.json", "{\"heartbeat\":");
  judged = judge(support, "boot-2");
  EXPECT_TRUE(judged.journal.is_null());
  EXPECT_EQ(testing::readFile(support / "journal.json"), "{\"heartbeat\":") << "left in place";

  // Without --boot-session the current boot id is used; the text form names it.
  const auto current = testing::runTool({"journal", "--support", support.path().string()});
  ASSERT_EQ(current.status, 0) << current.err;
  const auto lines = testing::lines(current.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "journal: none readable at " + (support / "journal.json").string());
  EXPECT_EQ(lines[1], "boot session: " +
                          testing::lines(testing::readFile("/proc/sys/kernel/random/boot_id"))[0]);
  EXPECT_EQ(lines[2], "verdict: none");
}

}  // namespace
}  // namespace brimwell
