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
  IdleExit idle{0.2, [&] { ++fired; }};
  idle.start();
  std::this_thread::sleep_for(80ms);
  idle.connectionClosed();  // at zero: the count stays 0, a fresh timer replaces the first
  EXPECT_EQ(idle.open(), 0);
  std::this_thread::sleep_for(160ms);
  EXPECT_EQ(fired, 0);  // the first deadline has passed without firing
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(fired, 1);
  idle.connectionOpened();
  EXPECT_EQ(idle.open(), 1);  // one close would have to happen before the next exit
}

}  // namespace
}  // namespace brimwell
