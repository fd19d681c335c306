#include "brimwell/core/engine/brimwell_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/core/engine/engine_harness.h"

namespace brimwell {
namespace {

using testing::EngineHarness;
using Answers = std::vector<std::optional<SnapshotSummary>>;

TEST(EngineCaptureTest, CaptureRequestsDuringAJobBecomeOneCaptureWithOneAnswerForAll) {
  EngineHarness h;
  h.start();
  h.saver->hold = true;
  h.reading(9, PowerSource::battery);  // brimwell entry: the save pass waits
  const std::size_t capturesBefore = h.capturer->triggers.size();

  Answers answers;
  for (int i = 0; i < 3; ++i) {
    h.engine->captureNow([&](std::optional<SnapshotSummary> s) { answers.push_back(s); });
  }
  h.poll();
  EXPECT_TRUE(answers.empty());

  // The entry's own snapshot takes the pending request and answers every waiter with its summary.
  h.saver->hold = false;
  h.saver->completeHeld();
  h.poll();
  ASSERT_EQ(answers.size(), 3u);
  ASSERT_TRUE(answers[0]);
  EXPECT_EQ(answers[0], answers[1]);
  EXPECT_EQ(answers[1], answers[2]);
  EXPECT_EQ(h.capturer->triggers.size(), capturesBefore + 1);
}

TEST(EngineCaptureTest, AStoppedEngineAnswersCaptureRequestsWithNothing) {
  EngineHarness h;
  EXPECT_EQ(h.captureNow(), std::nullopt);
  EXPECT_TRUE(h.capturer->triggers.empty());
  h.start();
  const auto summary = h.captureNow();
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->trigger, CaptureTrigger::manual);
}

// After the host has finished the engine, a capture that answers late (its worker was still
// busy) must not reach the io_context, which the host is about to destroy.
TEST(EngineCaptureTest, AnAnswerAfterTheHostFinishedTheEngineReachesNothing) {
  EngineHarness h;
  h.start();
  h.capturer->hold = true;
  bool answered = false;
  h.engine->captureNow([&](std::optional<SnapshotSummary>) { answered = true; });
  h.poll();
  ASSERT_EQ(h.capturer->held.size(), 1u);
  h.engine->stop();
  h.poll();
  h.engine->finishBackgroundWork();
  ASSERT_EQ(h.context.poll(), 0u);
  h.capturer->completeHeld();
  EXPECT_EQ(h.context.poll(), 0u);
  EXPECT_FALSE(answered);
}

TEST(EngineCaptureTest, TheWatchdogCountsAwakeTimeOnlyAndDropsALateResult) {
  EngineHarness h;
  h.settings.protectAgainstCrashes = false;  // no cadence captures while this one hangs
  h.start();
  h.capturer->hold = true;
  std::optional<std::optional<SnapshotSummary>> answer;
  h.engine->captureNow([&](std::optional<SnapshotSummary> s) { answer = s; });
  h.poll();
  ASSERT_EQ(h.capturer->held.size(), 1u);

  h.sleep(3600);  // an hour asleep doesn't time it out
  EXPECT_FALSE(answer);
  h.advance(89);
  EXPECT_FALSE(answer);
  h.advance(1);
  ASSERT_TRUE(answer);
  EXPECT_EQ(*answer, std::nullopt);
  const std::vector<std::string> told = {
      "captureFailed Remembering your workspace took longer than 90 seconds, so Brimwell set it "
      "aside. An app may not be answering."};
  EXPECT_EQ(h.events, told);

  // The capturer answers at 95 seconds: the snapshot is dropped, not stored.
  h.advance(5);
  h.capturer->completeHeld();
  h.poll();
  EXPECT_TRUE(h.storedSnapshots().empty());
  EXPECT_FALSE(h.engine->state().isWorking);
  EXPECT_EQ(h.events, told);
}

TEST(EngineCaptureTest, LandingAbandonsALightCaptureAndItsWaitersGetTheLandingSnapshot) {
  EngineHarness h;
  h.start();
  h.reading(50, PowerSource::battery);
  h.capturer->hold = true;
  Answers answers;
  for (int i = 0; i < 2; ++i) {
    h.engine->captureNow([&](std::optional<SnapshotSummary> s) { answers.push_back(s); });
  }
  h.poll();
  ASSERT_EQ(h.capturer->held.size(), 1u);

  h.capturer->hold = false;
  h.reading(2, PowerSource::battery);
  ASSERT_EQ(answers.size(), 2u);
  ASSERT_TRUE(answers[0]);
  EXPECT_EQ(answers[0]->trigger, CaptureTrigger::landing);
  EXPECT_EQ(answers[0], answers[1]);
  // The abandoned capture's late answer is ignored.
  h.capturer->completeHeld();
  h.poll();
  for (const auto& snapshot : h.storedSnapshots()) {
    EXPECT_EQ(snapshot.meta.trigger, CaptureTrigger::landing);
  }
}

TEST(EngineCaptureTest, CadenceFollowsThePhaseAndWatchNeedsCrashProtection) {
  EngineHarness h;
  h.settings.protectAgainstCrashes = false;
  h.start();
  h.reading(80, PowerSource::battery);
  h.advance(3600);
  EXPECT_TRUE(h.capturer->triggers.empty());

  h.settings.protectAgainstCrashes = true;
  h.engine->settingsDidChange();
  h.advance(599);
  EXPECT_TRUE(h.capturer->triggers.empty());
  h.advance(1);
  EXPECT_EQ(h.capturer->triggers, std::vector<CaptureTrigger>{CaptureTrigger::watch});

  h.reading(20, PowerSource::battery);  // ready: one entry capture, then every 120 s
  h.advance(240);
  EXPECT_EQ(h.capturer->triggers,
            (std::vector<CaptureTrigger>{CaptureTrigger::watch, CaptureTrigger::ready,
                                         CaptureTrigger::ready, CaptureTrigger::ready}));
}

TEST(EngineCaptureTest, StoredSnapshotsGetARepairedIdentifierMillisecondDatesAndTheCarriedPass) {
  EngineHarness h;
  h.start();
  h.capturer->hold = true;
  h.engine->captureNow([](auto) {});
  h.poll();
  auto call = std::move(h.capturer->held.front());
  h.capturer->held.clear();
  Snapshot snapshot = h.capturer->make(CaptureTrigger::manual);
  snapshot.id = "latest";
  snapshot.meta.createdAt += std::chrono::microseconds(1500);
  snapshot.rescued = {{"com.example.writer", "Writer", "Report", "/r/Report.pages"}};
  call.done(snapshot);
  h.poll();
  auto stored = h.storedSnapshots();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].id, SnapshotID::make(snapshot.meta.createdAt));
  EXPECT_EQ(stored[0].meta.createdAt,
            *BrimwellJSON::parse(BrimwellJSON::format(snapshot.meta.createdAt)));

  // A save pass in this battery session is carried into later snapshots, merged by path.
  h.capturer->hold = false;
  h.saver->output.results = {
      {"com.example.writer", "Writer", SaverOutcome::saved, 1, 1, std::nullopt}};
  h.saver->output.rescued = {{"com.example.writer", "Writer", "Other", "/r/Report.pages"},
                             {"com.example.writer", "Writer", "Notes", "/r/Notes.txt"}};
  h.reading(9, PowerSource::battery);
  h.advance(60);
  stored = h.storedSnapshots();
  ASSERT_GE(stored.size(), 3u);
  const Snapshot& cadence = stored.front();
  EXPECT_EQ(cadence.meta.trigger, CaptureTrigger::brimwell);
  EXPECT_EQ(cadence.savers, h.saver->output.results);
  EXPECT_EQ(cadence.rescued, h.saver->output.rescued);
  EXPECT_TRUE(cadence.savePassAt);
}

TEST(EngineCaptureTest, EachFailureIsToldOnceWithItsExactSentence) {
  const auto start = [] {
    auto h = std::make_unique<EngineHarness>();
    h->settings.protectAgainstCrashes = false;
    h->start();
    return h;
  };
  const auto expectToldOnce = [](EngineHarness& h, const std::string& message) {
    h.poll();
    EXPECT_EQ(std::count(h.events.begin(), h.events.end(), "captureFailed " + message), 1)
        << ::testing::PrintToString(h.events);
  };
  // A capture or a save pass held past its limit.
  const struct {
    const char* name;
    bool holdSavePass;
    int percent;
    double limit;
    const char* message;
  } timeouts[] = {
      {"landing capture over 20 s", false, 2, 20,
       "Remembering your workspace took longer than 20 seconds at the last moment, so Brimwell "
       "moved on to saving."},
      {"save pass over 90 s", true, 9, 90,
       "Saving took longer than 90 seconds, so Brimwell moved on. An app may not be answering."},
      {"landing save pass over 45 s", true, 2, 45,
       "Saving took longer than 45 seconds at the last moment, so Brimwell moved on. An app may "
       "not be answering."},
  };
  for (const auto& c : timeouts) {
    SCOPED_TRACE(c.name);
    auto h = start();
    (c.holdSavePass ? h->saver->hold : h->capturer->hold) = true;
    h->reading(c.percent, PowerSource::battery);
    h->advance(c.limit);
    expectToldOnce(*h, c.message);
  }
  // The snapshot folder's place is taken by a file.
  auto h = start();
  std::filesystem::create_directories(h->paths.support);
  testing::writeFile(h->paths.snapshots(), "in the way");
  h->engine->captureNow([](auto) {});
  expectToldOnce(*h, "Couldn't save the snapshot: Not a directory");
}

TEST(EngineCaptureTest, ATimedOutSavePassStillLeadsToTheEntrySnapshotWithNoResults) {
  EngineHarness h;
  h.start();
  h.saver->hold = true;
  h.reading(9, PowerSource::battery);
  h.advance(90);
  EXPECT_EQ(h.events.back(), "savePassFinished 0 brimwell");
  EXPECT_TRUE(h.engine->state().lastSaveResults.empty());
  EXPECT_EQ(h.engine->state().lastSavePass, std::nullopt);
}

}  // namespace
}  // namespace brimwell
