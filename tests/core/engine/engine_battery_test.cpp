#include "brimwell/core/engine/brimwell_engine.h"

#include <gtest/gtest.h>

#include "tests/core/engine/engine_harness.h"

namespace brimwell {
namespace {

using testing::EngineHarness;
using Strings = std::vector<std::string>;

TEST(EngineBatteryTest, AFirstReadingAt15PercentOnBatteryEntersReady) {
  EngineHarness h;
  EXPECT_EQ(h.start(), ShutdownVerdict::none());
  ASSERT_TRUE(h.journal());
  EXPECT_FALSE(h.journal()->cleanExit);

  h.reading(15, PowerSource::battery);
  EXPECT_EQ(h.engine->state().phase, Phase::ready);
  EXPECT_EQ(h.engine->state().powerSource, PowerSource::battery);
  EXPECT_EQ(h.events, Strings{"enteredPhase ready 15"});
  EXPECT_EQ(h.capturer->triggers, std::vector<CaptureTrigger>{CaptureTrigger::ready});
  ASSERT_EQ(h.storedSnapshots().size(), 1u);
  const auto journal = h.journal();
  EXPECT_EQ(journal->phase, Phase::ready);
  EXPECT_EQ(journal->batteryPercent, 15);
  EXPECT_EQ(journal->powerSource, PowerSource::battery);
  EXPECT_EQ(journal->latestSnapshotID, h.storedSnapshots()[0].id);
  EXPECT_EQ(h.engine->state().latest->id, h.storedSnapshots()[0].id);
}

TEST(EngineBatteryTest, TheAdapterIsBelievedOnlyAfter45Seconds) {
  EngineHarness h;
  h.start();
  h.reading(15, PowerSource::battery);
  h.reading(15, PowerSource::ac);
  EXPECT_EQ(h.events.back(), "pluggedIn 15");
  EXPECT_EQ(h.engine->state().powerSource, PowerSource::battery);
  EXPECT_EQ(h.engine->state().phase, Phase::ready);

  // A reading the tracker judges to be on battery, 30 seconds in, cancels the hold.
  h.advance(30);
  h.reading(14, PowerSource::battery);
  EXPECT_EQ(h.events.back(), "unplugged 14");
  h.advance(60);
  EXPECT_EQ(h.engine->state().powerSource, PowerSource::battery);
  EXPECT_EQ(h.engine->state().phase, Phase::ready);

  // Plugged in for good: 45 seconds later the session ends and the phase returns to watch.
  h.reading(14, PowerSource::ac);
  h.advance(44);
  EXPECT_EQ(h.engine->state().phase, Phase::ready);
  h.advance(1);
  EXPECT_EQ(h.engine->state().powerSource, PowerSource::ac);
  EXPECT_EQ(h.engine->state().phase, Phase::watch);
  EXPECT_EQ(h.engine->state().minutesToEmpty, std::nullopt);
  EXPECT_EQ(h.journal()->powerSource, PowerSource::ac);
}

TEST(EngineBatteryTest, TheMinutesRuleNeedsTwoQualifyingReadingsInARow) {
  EngineHarness h;
  h.start();
  // The smoother warms up for a minute; then a low estimate at 8 % must hold for two readings.
  h.reading(9, PowerSource::battery, 30);
  h.advance(60);
  h.reading(9, PowerSource::battery, 30);
  EXPECT_EQ(h.engine->state().phase, Phase::brimwell);
  h.advance(61);
  h.reading(8, PowerSource::battery, 3);
  EXPECT_EQ(h.engine->state().minutesToEmpty, 3);
  EXPECT_EQ(h.engine->state().phase, Phase::brimwell);
  h.advance(5);
  h.reading(8, PowerSource::battery, 3);
  EXPECT_EQ(h.engine->state().phase, Phase::landing);
}

TEST(EngineBatteryTest, AJumpFromWatchToLandingRunsOnlyTheLandingWork) {
  EngineHarness h;
  h.start();
  h.reading(80, PowerSource::battery);
  h.reading(2, PowerSource::battery);
  EXPECT_EQ(h.engine->state().phase, Phase::landing);
  EXPECT_EQ(h.events.front(), "enteredPhase landing 2");
  EXPECT_EQ(std::count(h.events.begin(), h.events.end(), "enteredPhase landing 2"), 1);
  EXPECT_EQ(h.capturer->triggers,
            (std::vector<CaptureTrigger>{CaptureTrigger::landing, CaptureTrigger::landing}));
  EXPECT_EQ(h.saver->folders.size(), 1u);
}

TEST(EngineBatteryTest, LandingDropsAQueuedBrimwellEntryAndRunsOncePerSession) {
  EngineHarness h;
  h.start();
  h.saver->hold = true;
  h.reading(9, PowerSource::battery);  // brimwell entry starts and waits for the saver
  h.reading(8, PowerSource::battery);
  ASSERT_EQ(h.saver->held.size(), 1u);
  h.reading(2, PowerSource::battery);  // landing goes to the front
  h.saver->hold = false;
  h.saver->completeHeld();
  h.poll();
  // The brimwell entry finished; the landing entry ran after it; landing happens once.
  h.reading(7, PowerSource::battery, std::nullopt);
  h.reading(2, PowerSource::battery);
  EXPECT_EQ(std::count(h.events.begin(), h.events.end(), "enteredPhase landing 2"), 1);
  EXPECT_EQ(h.saver->folders.size(), 2u);
}

TEST(EngineBatteryTest, InvalidThresholdsAreReplacedAsAWhole) {
  EngineHarness h;
  h.settings.thresholds.brimwell = 25;  // not below ready
  h.start();
  h.reading(15, PowerSource::battery);
  EXPECT_EQ(h.engine->state().phase, Phase::ready);
  h.reading(10, PowerSource::battery);
  EXPECT_EQ(h.engine->state().phase, Phase::brimwell);
}

}  // namespace
}  // namespace brimwell
