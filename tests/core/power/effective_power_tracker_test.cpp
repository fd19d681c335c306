#include "brimwell/core/power/effective_power_tracker.h"

#include <gtest/gtest.h>

#include <vector>

namespace brimwell {
namespace {

using enum PowerSource;

struct Step {
  PowerSource reported;
  int percent;
  std::optional<double> amperage;
  PowerSource effective;
};

// Feeds the steps to a new tracker and checks every answer, and that the answer on the adapter
// agrees with isDraining().
void expectSequence(const char* name, const std::vector<Step>& steps) {
  EffectivePowerTracker tracker;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    const BatteryReading reading{
        .percent = s.percent, .powerSource = s.reported, .amperage = s.amperage};
    EXPECT_EQ(tracker.effectiveSource(reading), s.effective) << name << ", reading " << i;
    if (s.reported == ac) {
      EXPECT_EQ(tracker.isDraining(), s.effective == battery) << name;
    }
    EXPECT_EQ(tracker.lastPercent, s.percent) << name;
  }
}

TEST(EffectivePowerTrackerTest, DrainOnTheAdapterIsBelievedAfterTwoPiecesOfEvidence) {
  const auto no = std::nullopt;
  expectSequence("falling percent",
                 {{ac, 50, no, ac}, {ac, 49, no, ac}, {ac, 48, no, battery}, {ac, 49, no, ac}});
  expectSequence("equal percent neither counts nor clears", {{ac, 50, no, ac},
                                                             {ac, 49, no, ac},
                                                             {ac, 49, no, ac},
                                                             {ac, 48, no, battery},
                                                             {ac, 48, no, battery}});
  expectSequence("negative amperage",
                 {{ac, 50, -0.5, ac}, {ac, 50, -0.3, battery}, {ac, 50, 0.0, ac}});
  expectSequence("zero amperage keeps falling",
                 {{ac, 50, -0.5, ac}, {ac, 49, -0.3, battery}, {ac, 48, 0.0, battery}});
  expectSequence("positive amperage clears falling",
                 {{ac, 50, no, ac}, {ac, 49, no, ac}, {ac, 48, 0.5, ac}, {ac, 47, no, ac}});
  expectSequence("readings without amperage don't break a negative run",
                 {{ac, 50, -0.5, ac}, {ac, 50, no, ac}, {ac, 50, -0.5, battery}});
  expectSequence("battery clears the counters", {{ac, 50, -1.0, ac},
                                                 {ac, 49, -1.0, battery},
                                                 {battery, 48, -1.0, battery},
                                                 {ac, 47, -1.0, ac},
                                                 {ac, 47, -1.0, battery}});
}

TEST(EffectivePowerTrackerTest, SuspicionAndDrainFollowTheCounters) {
  EffectivePowerTracker tracker;
  EXPECT_FALSE(tracker.suspectsDrain());
  tracker.effectiveSource({.percent = 60, .powerSource = ac, .amperage = -0.2});
  EXPECT_TRUE(tracker.suspectsDrain());
  EXPECT_FALSE(tracker.isDraining());
  EXPECT_EQ(tracker, (EffectivePowerTracker{1, 0, 60}));
  tracker.effectiveSource({.percent = 61, .powerSource = battery});
  EXPECT_EQ(tracker, (EffectivePowerTracker{0, 0, 61}));
}

}  // namespace
}  // namespace brimwell
