#include "brimwell/core/engine/brimwell_engine.h"

#include <gtest/gtest.h>

#include "tests/core/engine/engine_harness.h"

namespace brimwell {
namespace {

using testing::EngineHarness;

TEST(EngineLifecycleTest, StartingTwiceReturnsTheSameVerdictAndStartsNothingMore) {
  EngineHarness h;
  EXPECT_EQ(h.start(), ShutdownVerdict::none());
  const Date firstHeartbeat = h.journal()->heartbeat;
  h.advance(10);
  EXPECT_EQ(h.start(), ShutdownVerdict::none());
  EXPECT_EQ(h.battery->starts, 1);
  EXPECT_EQ(h.journal()->heartbeat, firstHeartbeat);
}

TEST(EngineLifecycleTest, TheHeartbeatIs300SecondsInWatchAnd30SecondsAfterwards) {
  EngineHarness h;
  h.settings.protectAgainstCrashes = false;
  h.start();
  const Date started = h.journal()->heartbeat;
  h.advance(299);
  EXPECT_EQ(h.journal()->heartbeat, started);
  h.advance(1);
  EXPECT_EQ(h.journal()->heartbeat, started + std::chrono::seconds(300));

  h.advance(100);
  h.capturer->hold = true;  // no capture write moves the heartbeat
  h.reading(20, PowerSource::battery);
  const Date phaseChange = h.journal()->heartbeat;
  EXPECT_EQ(phaseChange, started + std::chrono::seconds(400));
  h.advance(30);
  EXPECT_EQ(h.journal()->heartbeat, phaseChange + std::chrono::seconds(30));
}

TEST(EngineLifecycleTest, ACleanExitCountsFor120SecondsAndAQuitKeepsAnEarlierReason) {
  EngineHarness h;
  h.start();
  h.engine->markCleanExit(ExitReason::powerOff);
  EXPECT_TRUE(h.journal()->cleanExit);
  EXPECT_EQ(h.journal()->exitReason, ExitReason::powerOff);
  h.advance(60);
  h.engine->markCleanExit(ExitReason::quit);  // within 120 s: the shutdown stays the reason
  EXPECT_EQ(h.journal()->exitReason, ExitReason::powerOff);

  h.advance(119);
  h.engine->clearDrill();  // any journal write
  EXPECT_TRUE(h.journal()->cleanExit);
  h.advance(1);
  h.engine->clearDrill();
  EXPECT_FALSE(h.journal()->cleanExit);
  EXPECT_EQ(h.journal()->exitReason, std::nullopt);

  h.advance(1);
  h.engine->markCleanExit(ExitReason::quit);  // 121 s after the last mark: quit
  EXPECT_EQ(h.journal()->exitReason, ExitReason::quit);
}

TEST(EngineLifecycleTest, StopAnswersEveryWaiterAndQueuedDrillWithNothing) {
  EngineHarness h;
  h.start();
  h.saver->hold = true;
  std::vector<std::string> answers;
  const auto record = [&](const char* who) {
    return [&answers, who](std::optional<SnapshotSummary> s) {
      answers.push_back(std::string(who) + (s ? " summary" : " nothing"));
    };
  };
  h.engine->runDrill(record("running drill"));  // waits in its save pass
  h.engine->runDrill(record("queued drill"));
  h.engine->captureNow(record("capture"));
  h.poll();
  h.engine->stop();
  h.poll();
  EXPECT_EQ(answers, (std::vector<std::string>{"capture nothing", "queued drill nothing"}));
  EXPECT_EQ(h.battery->stops, 1);
  h.engine->runDrill(record("after stop"));
  h.poll();
  EXPECT_EQ(answers.back(), "after stop nothing");
}

TEST(EngineLifecycleTest, APinIsWrittenOnlyWhileItHolds) {
  EngineHarness h;
  h.start();
  h.engine->runDrill([](auto) {});
  h.poll();
  h.engine->markCleanExit(ExitReason::quit);
  // A restart in the same boot session offers the drill and pins it for seven days.
  h.restartEngine();
  EXPECT_TRUE(h.start().as<ShutdownVerdict::Drill>());
  ASSERT_TRUE(h.journal()->pinnedUntil);
  h.engine->stop();  // journal writes go on; a week of heartbeats need not run
  h.advance(604799);
  h.engine->clearDrill();
  EXPECT_TRUE(h.journal()->pinnedSnapshotID);
  h.advance(1);
  h.engine->clearDrill();
  EXPECT_EQ(h.journal()->pinnedSnapshotID, std::nullopt);
  EXPECT_EQ(h.journal()->pinnedUntil, std::nullopt);
}

}  // namespace
}  // namespace brimwell
