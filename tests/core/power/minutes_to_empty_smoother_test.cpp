#include "brimwell/core/power/minutes_to_empty_smoother.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

const Date kStart = Date(std::chrono::seconds(1'772'373'909));
Date after(double seconds) { return addSeconds(kStart, seconds); }
const Thresholds kDefaults = Thresholds::defaults();

TEST(MinutesToEmptySmootherTest, NothingDuringWarmUpThenTheMedianOfTheLastMinute) {
  MinutesToEmptySmoother smoother;
  EXPECT_EQ(smoother.add(30, 50, after(0), kDefaults), std::nullopt);
  EXPECT_EQ(smoother.add(5, 50, after(30), kDefaults), std::nullopt);
  EXPECT_EQ(smoother.add(31, 50, after(59.999), kDefaults), std::nullopt);
  EXPECT_EQ(smoother.add(32, 50, after(60), kDefaults), 31);  // 5 30 31 32: upper middle
  // At 90 s only the sample of 0 s is older than the window; the one of 30 s is exactly 60 s old.
  EXPECT_EQ(smoother.add(4, 50, after(90), kDefaults), 31);  // 4 5 31 32
  EXPECT_EQ(smoother.samples.size(), 4u);
  // Only the sample of 90 s is left.
  EXPECT_EQ(smoother.add(std::nullopt, 50, after(150), kDefaults), 4);
  // After a long gap every sample has aged out.
  EXPECT_EQ(smoother.add(std::nullopt, 50, after(400), kDefaults), std::nullopt);
  EXPECT_EQ(smoother.add(12, 50, after(401), kDefaults), 12);  // no second warm-up
}

TEST(MinutesToEmptySmootherTest, OddAndEvenCounts) {
  const struct {
    std::vector<int> estimates;
    int smoothed;
  } cases[] = {{{30, 5, 31}, 30}, {{30, 5}, 30}, {{7}, 7}, {{9, 1, 8, 2}, 8}};
  for (const auto& c : cases) {
    MinutesToEmptySmoother smoother;
    std::optional<int> result;
    for (std::size_t i = 0; i < c.estimates.size(); ++i) {
      result = smoother.add(c.estimates[i], 50, after(40 + 5.0 * i), kDefaults);
    }
    result = smoother.add(std::nullopt, 50, after(60 + 40), kDefaults);  // past warm-up
    EXPECT_EQ(result, c.smoothed) << c.estimates.size();
  }
}

TEST(MinutesToEmptySmootherTest, RejectedEstimatesStillStartTheWarmUp) {
  const struct {
    std::optional<int> minutes;
    int percent;
    bool taken;
  } cases[] = {
      {0, 8, false}, {0, 3, true}, {-2, 3, false}, {std::nullopt, 50, false}, {1, 50, true},
  };
  for (const auto& c : cases) {
    MinutesToEmptySmoother smoother;
    smoother.add(c.minutes, c.percent, after(0), kDefaults);
    EXPECT_EQ(smoother.watchingSince, after(0));
    EXPECT_EQ(smoother.samples.size(), c.taken ? 1u : 0u) << c.minutes.value_or(-99);
  }
}

TEST(MinutesToEmptySmootherTest, ResetStartsTheWarmUpAgain) {
  MinutesToEmptySmoother smoother;
  smoother.add(20, 50, after(0), kDefaults);
  ASSERT_EQ(smoother.add(20, 50, after(60), kDefaults), 20);
  smoother.reset();
  EXPECT_EQ(smoother, MinutesToEmptySmoother{});
  EXPECT_EQ(smoother.add(20, 50, after(61), kDefaults), std::nullopt);
  EXPECT_EQ(smoother.add(20, 50, after(120), kDefaults), std::nullopt);
  EXPECT_EQ(smoother.add(20, 50, after(121), kDefaults), 20);
}

}  // namespace
}  // namespace brimwell
