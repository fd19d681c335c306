#include "brimwell/core/helper/helper_controlling.h"

#include <gtest/gtest.h>

#include <vector>

#include "brimwell/core/helper/helper_command_unavailable.h"

namespace brimwell {
namespace {

// Implements only the required operations, answering from fields, and notes each change.
class ScriptedHelper : public HelperControlling {
 public:
  Result<bool> lowPower = false;
  std::vector<std::string> changes;

  void state(Completion<HelperState> done) override { done(helper_state::Ready{}); }
  void lowPowerMode(Completion<Result<bool>> done) override { done(lowPower); }
  void setLowPowerMode(bool on, Completion<Status> done) override {
    changes.push_back(on ? "lowPowerMode on" : "lowPowerMode off");
    done(Status());
  }
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override { done(3); }
  void setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) override {
    changes.push_back("hibernatemode " + std::to_string(mode));
    done(Status());
  }
  void sleepNow(Completion<Status> done) override { done(Status()); }
};

TEST(HelperControllingTest, DefaultBeginLowPowerModeChangesOnlyWhatWasOff) {
  ScriptedHelper helper;
  std::optional<Result<bool>> result;
  helper.beginLowPowerMode([&](Result<bool> r) { result = r; });
  EXPECT_EQ(result, Result<bool>(true));
  EXPECT_EQ(helper.changes, std::vector<std::string>{"lowPowerMode on"});

  helper.lowPower = true;
  helper.changes.clear();
  helper.beginLowPowerMode([&](Result<bool> r) { result = r; });
  EXPECT_EQ(result, Result<bool>(false));
  EXPECT_TRUE(helper.changes.empty());

  helper.lowPower = fail("pmset -g does not report Low Power Mode on this Mac");
  helper.beginLowPowerMode([&](Result<bool> r) { result = r; });
  ASSERT_FALSE(result->has_value());
  EXPECT_EQ(result->error().message(), "pmset -g does not report Low Power Mode on this Mac");
}

TEST(HelperControllingTest, DefaultsOfTheRemainingOperations) {
  ScriptedHelper helper;
  std::vector<Status> statuses;
  auto note = [&](Status s) { statuses.push_back(s); };
  helper.endLowPowerMode(note);
  helper.beginSafeLanding(note);
  helper.endSafeLanding(note);
  helper.removeAll(note);
  EXPECT_EQ(helper.changes, (std::vector<std::string>{"lowPowerMode off", "hibernatemode 25"}));
  ASSERT_EQ(statuses.size(), 4u);
  EXPECT_TRUE(statuses[0] && statuses[1] && statuses[3]);
  ASSERT_FALSE(statuses[2]);
  EXPECT_EQ(statuses[2].error().message(),
            "The Brimwell helper can't put the hibernate mode back in this build.");

  std::optional<std::optional<bool>> sleepDisabled;
  helper.sleepDisabled([&](std::optional<bool> v) { sleepDisabled = v; });
  ASSERT_TRUE(sleepDisabled.has_value());
  EXPECT_EQ(*sleepDisabled, std::nullopt);
  std::optional<HelperState> updated;
  helper.updateIfOutOfDate([&](HelperState s) { updated = s; });
  EXPECT_EQ(updated, HelperState(helper_state::Ready{}));
}

}  // namespace
}  // namespace brimwell
