#include "brimwell/core/engine/brimwell_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "tests/core/engine/engine_harness.h"

namespace brimwell {
namespace {

using testing::EngineHarness;
using Strings = std::vector<std::string>;

// Safe Landing enabled and proven on the fake machine's model.
void proveSafeLanding(EngineHarness& h) {
  h.settings.safeLandingEnabled = true;
  h.settings.safeLandingProvenOnBootModel = h.systemInfo->model;
  h.passedModel = h.systemInfo->model;
}

// Readings every 20 seconds, one percent a minute, from `from` down to `to` percent, with the
// system estimating two minutes less than the percentage.
void discharge(EngineHarness& h, int from, int to) {
  for (int percent = from; percent >= to; --percent) {
    for (int i = 0; i < 3; ++i) {
      h.reading(percent, PowerSource::battery, std::max(0, percent - 2));
      h.advance(20);
    }
  }
}

bool contains(const Strings& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

long countPrefixed(const Strings& list, const std::string& prefix) {
  return std::count_if(list.begin(), list.end(),
                       [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
}

TEST(EngineDischargeTest, AFullDischargeRunsEveryPhaseAndLandsSafely) {
  EngineHarness h;
  proveSafeLanding(h);
  h.saver->output.results = {
      {"com.example.writer", "Writer", SaverOutcome::saved, 2, 0, std::nullopt}};
  h.saver->output.rescued = {{"com.example.notes", "Notes", "Untitled", "/r/Untitled.txt"}};
  h.start();
  h.helper->onBeginSafeLanding = [&] {
    // The old mode is on disk before the daemon is asked to change it.
    ASSERT_TRUE(h.powerSaverFile());
    EXPECT_EQ(h.powerSaverFile()->previousHibernateMode, 3);
  };
  discharge(h, 25, 4);
  h.reading(3, PowerSource::battery, 1);  // at the landing percentage: Safe Landing runs

  // Events, in order: ready at 20 %, brimwell at 10 %, landing early by the minutes rule at 5 %.
  Strings phases;
  for (const auto& event : h.events) {
    if (event.rfind("enteredPhase", 0) == 0 || event.rfind("savePassFinished", 0) == 0 ||
        event.rfind("safeLanding", 0) == 0) {
      phases.push_back(event);
    }
  }
  EXPECT_EQ(phases, (Strings{"enteredPhase ready 20", "enteredPhase brimwell 10",
                             "savePassFinished 1 brimwell", "enteredPhase landing 5",
                             "savePassFinished 1 landing", "safeLandingStarting"}));

  // Power saving held on disk, with the hibernate mode Safe Landing changed.
  EXPECT_EQ(h.powerSaverFile(), (PowerSaverRecord{true, 0.8, 0.4, 3}));
  EXPECT_EQ(h.powerSaver->applies, 1);
  const Strings expectedCalls = {"state", "sleepDisabled", "batteryHibernateMode",
                                 "beginSafeLanding", "sleepNow"};
  Strings landingCalls(h.helper->calls.end() - 5, h.helper->calls.end());
  EXPECT_EQ(landingCalls, expectedCalls);

  // Snapshots: the landing entry took two, the second carrying this pass.
  const auto snapshots = h.storedSnapshots();
  ASSERT_GE(snapshots.size(), 4u);
  std::vector<Snapshot> landing;
  for (const auto& s : snapshots) {
    if (s.meta.trigger == CaptureTrigger::landing) landing.push_back(s);
  }
  ASSERT_GE(landing.size(), 2u);
  const Snapshot& afterPass = landing[landing.size() - 2];  // newest first: the entry's second
  EXPECT_EQ(afterPass.savers, h.saver->output.results);
  EXPECT_EQ(afterPass.rescued, h.saver->output.rescued);
  EXPECT_TRUE(afterPass.savePassAt);

  // The sleep comes; on wake the hibernate mode is put back and only power saving stays held.
  h.engine->systemWillSleep();
  h.sleep(3600);
  h.engine->systemDidWake();
  h.poll();
  EXPECT_TRUE(contains(h.helper->calls, "endSafeLanding"));
  EXPECT_EQ(h.powerSaverFile(), (PowerSaverRecord{true, 0.8, 0.4, std::nullopt}));
  EXPECT_FALSE(contains(
      h.events, std::string("safeLandingFailed ") + BrimwellEngine::sleepNotConfirmedMessage));

  // Back on the adapter for 45 seconds: power saving is released and the file goes.
  h.reading(2, PowerSource::ac);
  h.advance(45);
  EXPECT_EQ(h.powerSaverFile(), std::nullopt);
  EXPECT_EQ(h.engine->state().powerSaver, PowerSaverRecord::none());
  EXPECT_EQ(h.engine->state().phase, Phase::watch);
}

TEST(EngineDischargeTest, SafeLandingRunsOnlyWhenProvenAndTellsEachRefusalInOneSentence) {
  struct Row {
    const char* name;
    void (*setUp)(EngineHarness&);
    const char* message;  // none: Safe Landing stays silent and never reads the hibernate mode
    bool asksToSleep;
  };
  const Row rows[] = {
      {"mode 1", [](EngineHarness& h) { h.helper->hibernateMode = std::int64_t{1}; },
       "This Mac's hibernate mode is 1, which Brimwell leaves alone.", false},
      {"sleep disabled", [](EngineHarness& h) { h.helper->sleepIsDisabled = true; },
       "Sleep is turned off on this Mac (pmset SleepDisabled), so Safe Landing can't hibernate "
       "it.",
       false},
      {"unreadable mode",
       [](EngineHarness& h) {
         h.helper->hibernateMode = fail("pmset -g custom has no battery hibernate mode");
       },
       "Brimwell couldn't read the hibernate setting.", false},
      {"mode refused", [](EngineHarness& h) { h.helper->failBegin = true; },
       "macOS didn't accept the hibernate setting.", false},
      {"sleep refused", [](EngineHarness& h) { h.helper->failSleep = true; },
       "macOS didn't start the hibernate.", true},
      {"not proven in settings",
       [](EngineHarness& h) { h.settings.safeLandingProvenOnBootModel.reset(); }, nullptr, false},
      {"no passed model", [](EngineHarness& h) { h.passedModel.reset(); }, nullptr, false},
      {"passed on another model", [](EngineHarness& h) { h.passedModel = "Other1,1"; }, nullptr,
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EngineHarness h;
    proveSafeLanding(h);
    row.setUp(h);
    h.start();
    h.advance(120);
    h.reading(2, PowerSource::battery);
    h.advance(30);
    EXPECT_EQ(contains(h.helper->calls, "sleepNow"), row.asksToSleep);
    if (!row.message) {
      EXPECT_FALSE(contains(h.helper->calls, "batteryHibernateMode"));
      EXPECT_EQ(countPrefixed(h.events, "safeLanding"), 0);
      continue;
    }
    EXPECT_EQ(countPrefixed(h.events, "safeLandingFailed"), 1);
    EXPECT_TRUE(contains(h.events, std::string("safeLandingFailed ") + row.message));
  }
}

TEST(EngineDischargeTest, SafeLandingWaitsTwoMinutesAfterStartAndASleepThatNeverComesUndoesIt) {
  EngineHarness h;
  proveSafeLanding(h);
  h.start();
  h.advance(60);
  h.reading(2, PowerSource::battery);
  h.advance(59);
  EXPECT_FALSE(contains(h.helper->calls, "sleepNow"));
  h.advance(1);
  EXPECT_EQ(std::count(h.helper->calls.begin(), h.helper->calls.end(), "sleepNow"), 1);
  EXPECT_EQ(h.powerSaverFile()->previousHibernateMode, 3);
  h.advance(14);
  EXPECT_FALSE(contains(h.helper->calls, "endSafeLanding"));
  h.advance(1);
  EXPECT_EQ(h.events.back(),
            "safeLandingFailed The Mac didn't go to sleep within 15 seconds, so Brimwell put the "
            "hibernate setting back.");
  EXPECT_TRUE(contains(h.helper->calls, "endSafeLanding"));
  EXPECT_EQ(h.powerSaverFile()->previousHibernateMode, std::nullopt);
}

TEST(EngineDischargeTest, PluggingInWhileTheEntryJobWaitsChangesNothing) {
  EngineHarness h;
  h.start();
  h.capturer->hold = true;
  h.engine->captureNow([](auto) {});
  h.poll();  // a manual capture holds the runner
  h.reading(9, PowerSource::battery);
  h.reading(9, PowerSource::ac);
  h.advance(45);
  EXPECT_EQ(h.engine->state().powerSource, PowerSource::ac);
  h.capturer->hold = false;
  h.capturer->completeHeld();
  h.poll();
  EXPECT_TRUE(h.saver->folders.empty());
  EXPECT_EQ(h.powerSaver->applies, 0);
  EXPECT_EQ(h.powerSaverFile(), std::nullopt);
}

TEST(EngineDischargeTest, TwoDrillsRunInOrderAndTheSecondIsRemembered) {
  EngineHarness h;
  h.start();
  std::vector<std::optional<SnapshotSummary>> answers;
  h.capturer->hold = true;
  h.engine->runDrill([&](auto s) { answers.push_back(s); });
  h.engine->runDrill([&](auto s) { answers.push_back(s); });
  h.poll();
  ASSERT_EQ(h.capturer->held.size(), 1u);  // one drill at a time
  h.capturer->completeHeld();
  h.poll();
  h.advance(1);
  ASSERT_EQ(h.capturer->held.size(), 1u);
  h.capturer->completeHeld();
  h.poll();
  ASSERT_EQ(answers.size(), 2u);
  ASSERT_TRUE(answers[0] && answers[1]);
  EXPECT_EQ(answers[0]->trigger, CaptureTrigger::drill);
  EXPECT_NE(answers[0]->id, answers[1]->id);
  const auto journal = h.journal();
  EXPECT_TRUE(journal->drillPending);
  EXPECT_EQ(journal->drillSnapshotID, answers[1]->id);
  EXPECT_EQ(std::count(h.events.begin(), h.events.end(), "savePassFinished 0 drill"), 2);

  h.engine->clearDrill();
  EXPECT_FALSE(h.journal()->drillPending);
  EXPECT_EQ(h.journal()->drillSnapshotID, std::nullopt);
}

TEST(EngineDischargeTest, ACrashStyleRestartOffersTheLastSnapshotAndPinsIt) {
  EngineHarness h;
  h.start();
  discharge(h, 5, 3);
  const std::string lastID = *h.journal()->latestSnapshotID;

  // The machine dies; ten minutes later a new process starts in a new boot session.
  h.restartEngine();
  h.systemInfo->boot = "boot-2";
  h.advance(600);
  const ShutdownVerdict verdict = h.start();
  ASSERT_TRUE(verdict.as<ShutdownVerdict::RanOutOfBattery>());
  EXPECT_EQ(verdict.snapshotID(), lastID);
  ASSERT_TRUE(h.engine->pendingRestore());
  EXPECT_EQ(h.engine->pendingRestore()->snapshot.id, lastID);
  const auto journal = h.journal();
  EXPECT_EQ(journal->pendingRestoreKind, PendingRestoreKind::ranOutOfBattery);
  EXPECT_EQ(journal->pendingRestoreSnapshotID, lastID);
  EXPECT_EQ(journal->pinnedSnapshotID, lastID);
  EXPECT_EQ(journal->pinnedUntil, h.clock->now() + std::chrono::seconds(604800));

  // Dismissed: the offer is gone, the pin stays.
  h.engine->dismissPendingRestore();
  EXPECT_EQ(h.journal()->pendingRestoreKind, std::nullopt);
  EXPECT_EQ(h.journal()->pinnedSnapshotID, lastID);
}

// A crash left power saving on, with Safe Landing's hibernate mode still switched.
const PowerSaverRecord kHeld{true, 0.8, 0.4, 3};
void leaveHeldPowerSaving(EngineHarness& h) {
  ASSERT_TRUE(AtomicFile::write(*BrimwellJSON::encode(kHeld), h.paths.powerSaverRecord()));
}

TEST(EngineDischargeTest, AReleaseThatLeavesSomethingKeepsItAndRetriesEveryFiveMinutes) {
  EngineHarness h;
  leaveHeldPowerSaving(h);
  h.powerSaver->undosLeavingDimming = 1;
  h.helper->failEnd = true;
  h.start();
  h.reading(60, PowerSource::ac);
  h.advance(45);
  // Low Power Mode is back; the dimming and the hibernate mode stay noted, on disk and in state.
  const PowerSaverRecord left{false, 0.8, 0.4, 3};
  EXPECT_EQ(h.powerSaverFile(), left);
  EXPECT_EQ(h.engine->state().powerSaver, left);
  EXPECT_EQ(h.powerSaver->undos, 1);

  h.helper->failEnd = false;
  h.advance(BrimwellEngine::undoRetryInterval - 1);
  EXPECT_EQ(h.powerSaver->undos, 1) << "retried before five minutes";
  h.advance(2);
  EXPECT_EQ(h.powerSaver->undos, 2);
  EXPECT_EQ(h.powerSaverFile(), std::nullopt);
  EXPECT_EQ(h.engine->state().powerSaver, PowerSaverRecord::none());

  h.advance(BrimwellEngine::undoRetryInterval * 2);
  EXPECT_EQ(h.powerSaver->undos, 2) << "retried with nothing left";
}

TEST(EngineDischargeTest, RemovingTheHelperForgetsOnlyWhatTheHelperAloneCouldUndo) {
  for (const bool removes : {true, false}) {
    SCOPED_TRACE(removes);
    EngineHarness h;
    leaveHeldPowerSaving(h);
    h.helper->failRemove = !removes;
    h.start();
    std::optional<Status> result;
    h.engine->removeHelper([&](Status removed) { result = std::move(removed); });
    h.poll();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->has_value(), removes);
    // The dimming stays to be undone here; Low Power Mode and the hibernate mode went with it.
    const PowerSaverRecord expected =
        removes ? PowerSaverRecord{false, 0.8, 0.4, std::nullopt} : kHeld;
    EXPECT_EQ(h.powerSaverFile(), expected);
    EXPECT_EQ(h.engine->state().powerSaver, expected);
  }
}

}  // namespace
}  // namespace brimwell
