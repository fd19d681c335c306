#include "brimwell/core/engine/system_clock.h"

#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <string>
#include <vector>

namespace brimwell {
namespace {

TEST(SystemClockTest, RunsBodiesOnTheLoopInDeadlineOrderAndNeverACancelledOne) {
  asio::io_context context;
  SystemClock clock(context);
  EXPECT_LT(std::chrono::abs(clock.now() - std::chrono::system_clock::now()),
            std::chrono::seconds(1));
  std::vector<std::string> ran;
  const auto note = [&ran](std::string name) { return [&ran, name] { ran.push_back(name); }; };
  const auto started = std::chrono::steady_clock::now();
  auto wall = clock.schedule(0.04, note("wall 40 ms"));
  clock.scheduleAwake(0.02, note("awake 20 ms"));
  clock.schedule(-5, note("negative"));
  clock.schedule(std::nan(""), note("nan"));
  clock.schedule(0.01, note("cancelled wall"))->cancel();
  clock.scheduleAwake(0.01, note("cancelled awake"))->cancel();
  auto immediate = clock.schedule(0, note("cancelled immediate"));
  immediate->cancel();
  immediate->cancel();
  EXPECT_TRUE(ran.empty());

  context.run();
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(40));
  const std::vector<std::string> expected = {"negative", "nan", "awake 20 ms", "wall 40 ms"};
  EXPECT_EQ(ran, expected);
  wall->cancel();  // after the body ran
  EXPECT_EQ(ran, expected);
}

}  // namespace
}  // namespace brimwell
