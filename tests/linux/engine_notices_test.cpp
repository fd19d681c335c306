#include "linux/engine_notices.h"

#include <gtest/gtest.h>

#include "tests/linux/bus_engine.h"
#include "tests/support/mock_calls.h"

namespace brimwell {
namespace {

using testing::runUntil;

constexpr const char* kServer = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

struct NoticeFixture {
  NoticeFixture() : engine(context, dir) {
    bus.startMock("notification_daemon", kServer);
    session = *BusConnection::open(context, BusConnection::Kind::session);
    notifier = DesktopNotifier::create(session);
    if (!notifier->start()) throw std::runtime_error("The notification signals can't be read.");
  }
  // Every Notify call so far as (summary, body, actions), once `count` have arrived.
  std::vector<std::vector<std::string>> notified(std::size_t count) {
    std::vector<std::vector<std::string>> shown;
    runUntil(context, [&] {
      shown.clear();
      for (const auto& call : testing::mockCalls(bus, kServer, kPath, "Notify")) {
        if (call.size() == 8 && call[0] == "Brimwell") shown.push_back({call[3], call[4], call[5]});
      }
      return shown.size() >= count;
    });
    return shown;
  }

  testing::TempDir dir;
  testing::PrivateBus bus;
  asio::io_context context;
  testing::BusEngine engine;
  std::shared_ptr<BusConnection> session;
  std::shared_ptr<DesktopNotifier> notifier;
};

TEST(EngineNoticesTest, TellsTheLowPhasesAndEveryFailureInTheEnginesOwnWords) {
  NoticeFixture f;
  EngineNotices notices(f.notifier, {}, [](const std::string&) { return std::string(); });
  const auto at = [](int percent) { return BatteryReading{.percent = percent}; };
  const EngineEvent events[] = {
      engine_event::EnteredPhase{Phase::ready, at(18)},
      engine_event::EnteredPhase{Phase::brimwell, at(9)},
      engine_event::PluggedIn{at(9)},
      engine_event::EnteredPhase{Phase::landing, at(3)},
      engine_event::CaptureFailed{BrimwellEngine::captureTimeoutMessage},
      engine_event::SafeLandingFailed{BrimwellEngine::sleepDisabledMessage},
      engine_event::SafeLandingStarting{},
  };
  for (const auto& event : events) notices.tell(event);
  const std::vector<std::vector<std::string>> expected = {
      {"Battery low",
       "The battery is at 9%. Brimwell is saving your documents and turning on power saving.", ""},
      {"Battery nearly empty",
       "The battery is at 3%. Brimwell is getting your work ready for Safe Landing.", ""},
      {"Brimwell couldn't finish", BrimwellEngine::captureTimeoutMessage, ""},
      {"Safe Landing didn't happen", BrimwellEngine::sleepDisabledMessage, ""},
      {"Safe Landing", "Brimwell is putting the machine into hibernation to keep your work safe.",
       ""},
  };
  EXPECT_EQ(f.notified(expected.size()), expected);
}

// Leaves a drill snapshot and the journal of a run that ended with the drill pending, so the
// engine starts with a restore offer.
void leaveADrill(testing::BusEngine& engine) {
  testing::FixedMachine machine;
  const Snapshot snapshot =
      snapshotShell(engine.clock->now(), CaptureTrigger::drill, std::nullopt, machine);
  ASSERT_TRUE(engine.snapshots->save(snapshot).has_value());
  ASSERT_TRUE(engine.journal
                  ->write(Journal{.heartbeat = engine.clock->now(),
                                  .bootSessionUUID = "boot-1",
                                  .drillPending = true,
                                  .appVersion = "1.0",
                                  .drillSnapshotID = SnapshotSummary(snapshot).id})
                  .has_value());
}

TEST(EngineNoticesTest, OffersThePendingRestoreAndHandsTheAnswerToTheEngine) {
  for (const std::string key : {"restore", "dismiss"}) {
    NoticeFixture f;
    leaveADrill(f.engine);
    f.engine.engine->start();
    ASSERT_TRUE(f.engine.engine->pendingRestore().has_value()) << key;
    const std::string id = f.engine.engine->pendingRestore()->snapshot.id;
    EngineNotices notices(f.notifier, f.engine.engine,
                          [](const std::string& snapshot) { return "brimwell plan " + snapshot; });
    notices.offerPendingRestore();
    const auto offered = f.notified(1);
    ASSERT_EQ(offered.size(), 1u) << key;
    EXPECT_EQ(offered[0],
              (std::vector<std::string>{
                  "Restore your workspace?",
                  "A drill was under way last time. Brimwell can bring back the workspace it "
                  "remembered (0 apps, 0 tabs).",
                  "restore|Restore|dismiss|Not now"}));

    // The daemon numbers its notifications from 1.
    f.bus.mockCall(kServer, kPath, "EmitSignal", "sssav", kServer, "ActionInvoked", "us", 2, "u",
                   1u, "s", key.c_str());
    ASSERT_TRUE(runUntil(f.context, [&] { return !f.engine.engine->pendingRestore(); })) << key;
    const auto shown = f.notified(key == "restore" ? 2 : 1);
    if (key == "restore") {
      ASSERT_EQ(shown.size(), 2u);
      EXPECT_EQ(shown[1], (std::vector<std::string>{
                              "Restore your workspace",
                              "Brimwell can't restore it by itself yet. To see the steps, run: "
                              "brimwell plan " +
                                  id,
                              ""}));
    } else {
      EXPECT_EQ(shown.size(), 1u);
    }
    EXPECT_FALSE(f.engine.journal->read()->pendingRestoreSnapshotID.has_value()) << key;
  }
}

}  // namespace
}  // namespace brimwell
