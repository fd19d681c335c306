#include "core/engine/system_clock.h"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <string>
#include <vector>

namespace brimwell {
namespace {

TEST(SystemClockTest, BodiesRunOnTheLoopInDeadlineOrderAndNeverInsideSchedule) {
  asio::io_context context;
  SystemClock clock(context);
  std::vector<std::string> ran;
  const auto started = std::chrono::steady_clock::now();
  clock.schedule(0.04, [&] { ran.push_back("wall 40 ms"); });
  clock.scheduleAwake(0.02, [&] { ran.push_back("awake 20 ms"); });
  clock.schedule(-5, [&] { ran.push_back("negative"); });
  clock.schedule(std::nan(""), [&] { ran.push_back("nan"); });
  EXPECT_TRUE(ran.empty());

  context.run();
  const auto elapsed = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(ran, (std::vector<std::string>{"negative", "nan", "awake 20 ms", "wall 40 ms"}));
  EXPECT_GE(elapsed, std::chrono::milliseconds(40));
}

TEST(SystemClockTest, ACancelledBodyNeverRunsAndCancellingAgainIsHarmless) {
  asio::io_context context;
  SystemClock clock(context);
  int runs = 0;
  auto wall = clock.schedule(0.01, [&] { ++runs; });
  auto awake = clock.scheduleAwake(0.01, [&] { ++runs; });
  auto immediate = clock.schedule(0, [&] { ++runs; });
  auto kept = clock.schedule(0.02, [&] { runs += 10; });
  wall->cancel();
  awake->cancel();
  immediate->cancel();
  immediate->cancel();
  context.run();
  EXPECT_EQ(runs, 10);
  kept->cancel();  // after the body ran
  EXPECT_EQ(runs, 10);
}

TEST(SystemClockTest, NowIsTheWallClock) {
  asio::io_context context;
  SystemClock clock(context);
  const auto difference = clock.now() - std::chrono::system_clock::now();
  EXPECT_LT(std::chrono::abs(difference), std::chrono::seconds(1));
}

}  // namespace
}  // namespace brimwell
