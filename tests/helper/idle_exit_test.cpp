#include "helper/idle_exit.h"

#include <gtest/gtest.h>

#include <atomic>

namespace brimwell {
namespace {

using namespace std::chrono_literals;
constexpr double after = 0.2;

class IdleExitTest : public ::testing::Test {
 protected:
  std::atomic<int> fired = 0;
  IdleExit idle{after, [this] { ++fired; }};
};

TEST_F(IdleExitTest, FiresOnceAfterTheQuietTimeFromStart) {
  idle.start();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(fired, 0);
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(fired, 1);
}

TEST_F(IdleExitTest, OnlyTheLastCloseArmsTheTimer) {
  idle.start();
  idle.connectionOpened();
  idle.connectionOpened();
  std::this_thread::sleep_for(300ms);
  idle.connectionClosed();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(fired, 0);
  idle.connectionClosed();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(fired, 1);
}

TEST_F(IdleExitTest, AnExtraCloseNeverGoesBelowZeroAndReplacesThePendingTimer) {
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
