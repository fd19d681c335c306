#include "brimwell/core/journal/shutdown_detector.h"

#include <gtest/gtest.h>

#include <set>

#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

const Date kHeartbeat = *BrimwellJSON::parse("2026-03-01T14:00:00Z");

std::string snapshotTakenBefore(double seconds) {
  return SnapshotID::make(addSeconds(kHeartbeat, -seconds));
}

// A journal from before a restart whose latest snapshot is stored and ten minutes old.
Journal restartedJournal() {
  Journal journal;
  journal.heartbeat = kHeartbeat;
  journal.bootSessionUUID = "old boot";
  journal.appVersion = "1.0";
  journal.latestSnapshotID = snapshotTakenBefore(600);
  return journal;
}

ShutdownVerdict decide(const Journal& journal, const std::set<std::string>& stored) {
  return ShutdownDetector::verdict(journal, "new boot", Thresholds::defaults(),
                                   [&](const std::string& id) { return stored.count(id) > 0; });
}

TEST(ShutdownDetectorTest, DecisionTableAfterARestart) {
  enum Expect { ran, unexpected, none };
  const struct {
    bool cleanExit;
    std::optional<PowerSource> source;
    Phase phase;
    std::optional<int> percent;
    Expect fresh;  // snapshot 10 minutes before the heartbeat
    Expect stale;  // snapshot 45 minutes before
  } rows[] = {
      {false, PowerSource::battery, Phase::landing, 2, ran, ran},
      {false, PowerSource::battery, Phase::watch, 18, ran, ran},  // low charge
      {false, PowerSource::battery, Phase::watch, 20, ran, ran},  // at `ready` counts as low
      {false, PowerSource::battery, Phase::watch, 60, unexpected, none},
      {false, PowerSource::battery, Phase::watch, std::nullopt, unexpected, none},
      {false, PowerSource::ac, Phase::watch, 80, unexpected, none},
      {false, std::nullopt, Phase::watch, std::nullopt, unexpected, none},
      {true, PowerSource::battery, Phase::brimwell, 8, ran, ran},  // clean exit not trusted
      {true, PowerSource::battery, Phase::ready, 15, none, none},
      {true, PowerSource::ac, Phase::landing, 3, none, none},
  };
  for (const auto& row : rows) {
    for (const double age : {600.0, 2700.0}) {
      Journal journal = restartedJournal();
      journal.latestSnapshotID = snapshotTakenBefore(age);
      journal.cleanExit = row.cleanExit;
      journal.powerSource = row.source;
      journal.phase = row.phase;
      journal.batteryPercent = row.percent;
      const Expect expect = age == 600.0 ? row.fresh : row.stale;
      const std::string& id = *journal.latestSnapshotID;
      const ShutdownVerdict expected =
          expect == ran          ? ShutdownVerdict::ranOutOfBattery(kHeartbeat, id)
          : expect == unexpected ? ShutdownVerdict::unexpectedShutdown(kHeartbeat, id)
                                 : ShutdownVerdict::none();
      EXPECT_EQ(decide(journal, {id}), expected)
          << "clean " << row.cleanExit << " phase " << toString(row.phase) << " percent "
          << row.percent.value_or(-1) << " age " << age;
    }
  }
}

TEST(ShutdownDetectorTest, FreshnessEndsExactlyAtThirtyMinutes) {
  for (const auto& [age, fresh] : std::initializer_list<std::pair<double, bool>>{
           {1800.0, false}, {1799.999, true}, {0.0, true}, {-60.0, true}}) {
    Journal journal = restartedJournal();
    journal.powerSource = PowerSource::ac;
    journal.latestSnapshotID = snapshotTakenBefore(age);
    const auto verdict = decide(journal, {*journal.latestSnapshotID});
    EXPECT_EQ(verdict.as<ShutdownVerdict::UnexpectedShutdown>() != nullptr, fresh) << age;
  }
}

TEST(ShutdownDetectorTest, DrillsAndMissingSnapshots) {
  using V = ShutdownVerdict;
  const std::string latest = snapshotTakenBefore(600);
  const std::string drill = snapshotTakenBefore(1200);
  const auto no = std::nullopt;
  const V ran = V::ranOutOfBattery(kHeartbeat, latest);
  const struct {
    const char* name;
    bool sameBoot, drillPending;
    std::optional<std::string> drillID, latestID;
    std::set<std::string> stored;
    ShutdownVerdict expected;
  } cases[] = {
      {"same boot, no drill", true, false, no, latest, {latest}, V::none()},
      {"same boot, drill stored", true, true, drill, latest, {latest, drill}, V::drill(drill)},
      {"no own drill snapshot: the latest", true, true, no, latest, {latest}, V::drill(latest)},
      {"drill snapshot gone: nothing", true, true, drill, latest, {latest}, V::none()},
      {"restarted, no latest: the drill", false, true, drill, no, {drill}, V::drill(drill)},
      {"restarted, latest gone, no drill", false, false, no, latest, {}, V::none()},
      {"restarted: the shutdown beats a drill", false, true, drill, latest, {latest, drill}, ran},
  };
  for (const auto& c : cases) {
    Journal journal = restartedJournal();
    journal.powerSource = PowerSource::battery;
    journal.phase = Phase::landing;
    journal.batteryPercent = 2;
    if (c.sameBoot) journal.bootSessionUUID = "new boot";
    journal.drillPending = c.drillPending;
    journal.drillSnapshotID = c.drillID;
    journal.latestSnapshotID = c.latestID;
    EXPECT_EQ(decide(journal, c.stored), c.expected) << c.name;
  }
  EXPECT_EQ(ShutdownDetector::verdict(std::nullopt, "b", Thresholds::defaults(),
                                      [](const std::string&) { return true; }),
            V::none());
}

TEST(ShutdownDetectorTest, AnUnreadableIdentifierRulesOutOnlyTheUnexpectedShutdown) {
  Journal journal = restartedJournal();
  journal.latestSnapshotID = "not-an-identifier";
  journal.powerSource = PowerSource::ac;
  EXPECT_EQ(decide(journal, {"not-an-identifier"}), ShutdownVerdict::none());
  journal.powerSource = PowerSource::battery;
  journal.phase = Phase::ready;
  EXPECT_EQ(decide(journal, {"not-an-identifier"}),
            ShutdownVerdict::ranOutOfBattery(kHeartbeat, "not-an-identifier"));
}

}  // namespace
}  // namespace brimwell
