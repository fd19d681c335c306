#include "linux/logind_sleep_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "linux/engine_sleep_listener.h"
#include "tests/linux/bus_engine.h"

namespace brimwell {
namespace {

using namespace std::chrono_literals;
using testing::emitLogind;
using testing::runUntil;

bool sleepDelayListed(const testing::PrivateBus& bus) {
  const auto listed = testing::inhibitors(bus);
  return std::any_of(listed.begin(), listed.end(), [](const auto& lock) {
    return std::get<0>(lock) == "sleep" && std::get<1>(lock) == "Brimwell" &&
           std::get<3>(lock) == "delay";
  });
}

// A private bus with logind on it, the engine started, and the watch holding its delay lock.
struct SleepFixture {
  SleepFixture() : engine(context, dir) {
    bus.startMock("logind", "org.freedesktop.login1");
    auto opened = BusConnection::open(context, BusConnection::Kind::system);
    if (!opened) throw std::runtime_error(opened.error().message());
    system = *opened;
    engine.engine->start();
    watch = LogindSleepWatch::create(context, system, engineSleepListener(engine.engine));
    if (!watch->start()) throw std::runtime_error("The sleep signals can't be subscribed.");
    if (!runUntil(context, [&] { return watch->holdsDelay(); })) {
      throw std::runtime_error("logind never handed over the delay lock.");
    }
  }

  testing::TempDir dir;
  testing::PrivateBus bus;
  asio::io_context context;
  testing::BusEngine engine;
  std::shared_ptr<BusConnection> system;
  std::shared_ptr<LogindSleepWatch> watch;
};

TEST(LogindSleepWatchTest, SnapshotsBeforeEverySleepThenLetsGoAndTakesTheLockAgainOnWake) {
  SleepFixture f;
  ASSERT_TRUE(sleepDelayListed(f.bus));
  bool heldWhileCapturing = false;
  f.engine.capturer->during = [&] { heldWhileCapturing = sleepDelayListed(f.bus); };

  for (int sleep = 1; sleep <= 2; ++sleep) {
    emitLogind(f.bus, "PrepareForSleep", true);
    ASSERT_TRUE(runUntil(f.context, [&] { return !f.watch->holdsDelay(); })) << sleep;
    EXPECT_EQ(f.engine.capturer->triggers,
              std::vector<CaptureTrigger>(static_cast<std::size_t>(sleep), CaptureTrigger::manual));
    EXPECT_TRUE(heldWhileCapturing) << sleep;
    const auto latest = f.engine.snapshots->latestSummary();
    ASSERT_TRUE(latest.has_value());
    EXPECT_EQ(latest->trigger, CaptureTrigger::manual);
    EXPECT_TRUE(runUntil(
        f.context, [&] { return !sleepDelayListed(f.bus); }, 2s))
        << sleep;

    emitLogind(f.bus, "PrepareForSleep", false);
    EXPECT_TRUE(runUntil(f.context, [&] { return f.watch->holdsDelay(); })) << sleep;
    EXPECT_TRUE(sleepDelayListed(f.bus)) << sleep;
  }
}

TEST(LogindSleepWatchTest, LetsTheMachineSleepAfterFiveSecondsWhenTheCaptureHangs) {
  SleepFixture f;
  f.engine.capturer->hang = true;
  const auto asked = std::chrono::steady_clock::now();
  emitLogind(f.bus, "PrepareForSleep", true);
  ASSERT_TRUE(runUntil(
      f.context, [&] { return !f.watch->holdsDelay(); }, 8s));
  const auto waited = std::chrono::steady_clock::now() - asked;
  EXPECT_EQ(f.engine.capturer->triggers.size(), 1u);
  EXPECT_GE(waited, 4500ms);
  EXPECT_LE(waited, 6500ms);
  EXPECT_TRUE(runUntil(
      f.context, [&] { return !sleepDelayListed(f.bus); }, 2s));
  // The capture comes back after all, and the engine stores it and finishes its work.
  f.engine.capturer->release();
  EXPECT_TRUE(runUntil(f.context, [&] { return f.engine.snapshots->latestSummary().has_value(); }));
}

TEST(LogindSleepWatchTest, MarksACleanExitForPowerOffWhenTheMachineShutsDown) {
  SleepFixture f;
  emitLogind(f.bus, "PrepareForShutdown", true);
  ASSERT_TRUE(runUntil(f.context, [&] {
    const auto journal = f.engine.journal->read();
    return journal && journal->cleanExit;
  }));
  EXPECT_EQ(f.engine.journal->read()->exitReason, ExitReason::powerOff);
}

}  // namespace
}  // namespace brimwell
