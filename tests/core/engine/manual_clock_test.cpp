#include "brimwell/core/engine/manual_clock.h"

#include <gtest/gtest.h>

#include <asio/post.hpp>
#include <cmath>
#include <string>
#include <vector>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

struct ClockFixture {
  asio::io_context context;
  ManualClock clock{context, *BrimwellJSON::parse("2026-03-01T12:00:00Z")};
  std::vector<std::string> ran;

  void at(double seconds, bool awake, std::string name) {
    auto body = [this, name] {
      // Work a timer posts finishes before the next timer runs.
      asio::post(context, [this, name] { ran.push_back(name + " posted"); });
      ran.push_back(name + "@" + std::to_string(static_cast<int>(clock.elapsed())));
    };
    if (awake) {
      clock.scheduleAwake(seconds, body);
    } else {
      clock.schedule(seconds, body);
    }
  }
};

TEST(ManualClockTest, RunsTimersInOrderOfTheirMomentAndDrainsBetweenThem) {
  ClockFixture f;
  f.at(30, false, "b");
  f.at(10, true, "a");
  f.at(30, true, "c");  // same moment as b, scheduled later
  f.clock.scheduleAwake(20, [] {})->cancel();
  f.at(-5, false, "late");  // a negative or NaN delay means the next step
  f.at(std::nan(""), true, "nan");
  EXPECT_TRUE(f.ran.empty());
  f.clock.advance(30);
  EXPECT_EQ(f.ran, (std::vector<std::string>{"late@0", "late posted", "nan@0", "nan posted", "a@10",
                                             "a posted", "b@30", "b posted", "c@30", "c posted"}));
  EXPECT_EQ(BrimwellJSON::format(f.clock.now()), "2026-03-01T12:00:30.000Z");
}

TEST(ManualClockTest, SleepRunsNothingAndHoldsAwakeTimersBack) {
  ClockFixture f;
  f.at(100, false, "wall");
  f.at(100, true, "awake");
  f.clock.advance(50);
  f.clock.sleep(300);
  EXPECT_TRUE(f.ran.empty());
  EXPECT_EQ(f.clock.elapsed(), 350);
  EXPECT_EQ(f.clock.awakeSeconds(), 50);
  // On waking, the overdue wall-clock timer runs at once; the awake one needs 50 more seconds.
  f.clock.advance(0);
  EXPECT_EQ(f.ran, (std::vector<std::string>{"wall@350", "wall posted"}));
  f.clock.advance(50);
  EXPECT_EQ(f.ran.back(), "awake posted");
  EXPECT_EQ(f.ran[2], "awake@400");
}

TEST(ManualClockTest, StopsEarlyWhenAsked) {
  ClockFixture f;
  f.at(10, true, "a");
  f.at(20, true, "b");
  f.clock.advance(60, [&f] { return !f.ran.empty(); });
  EXPECT_EQ(f.clock.elapsed(), 10);
  EXPECT_EQ(f.ran, (std::vector<std::string>{"a@10", "a posted"}));
}

}  // namespace
}  // namespace brimwell
