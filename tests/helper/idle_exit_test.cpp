#include "helper/idle_exit.h"

#include <gtest/gtest.h>

#include <atomic>

namespace brimwell {
namespace {

using namespace std::chrono_literals;

// Arming from start and on the last close, through the real daemon, is covered by
// helper_daemon_test; what only shows here is the count's floor and the replaced deadline.
TEST(IdleExitTest, AnExtraCloseNeverGoesBelowZeroAndReplacesThePendingTimer) {
  std::atomic<int> fired = 0;
  // Deadlines at 400 ms and, replaced at 200 ms, at 600 ms; looked at 100 ms after the first, so
  // that a loaded machine's late wake-ups stay inside the margins.
  IdleExit idle{0.4, [&] { ++fired; }};
  idle.start();
  std::this_thread::sleep_for(200ms);
  idle.connectionClosed();  // at zero: the count stays 0, a fresh timer replaces the first
  EXPECT_EQ(idle.open(), 0);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(fired, 0);  // the first deadline has passed without firing
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(fired, 1);
  idle.connectionOpened();
  EXPECT_EQ(idle.open(), 1);  // one close would have to happen before the next exit
}

}  // namespace
}  // namespace brimwell
