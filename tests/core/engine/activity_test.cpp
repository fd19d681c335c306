#include "brimwell/core/engine/activity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brimwell {
namespace {

// Records every begin and end in order.
class RecordingBackend : public ActivityBackend {
 public:
  std::vector<std::string> log;

  std::unique_ptr<Activity> begin(ActivityLevel level, std::string_view reason) override {
    log.push_back("begin " + std::string(toString(level)) + ": " + std::string(reason));
    return std::make_unique<Recorded>(log, std::string(toString(level)));
  }

 private:
  struct Recorded : Activity {
    Recorded(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
    ~Recorded() override { log.push_back("end " + name); }
    std::vector<std::string>& log;
    std::string name;
  };
};

TEST(ProcessActivityTest, BeginsTheNewActivityBeforeEndingTheOldOne) {
  auto backend = std::make_shared<RecordingBackend>();
  {
    ProcessActivity activity(backend);
    activity.hold(ActivityLevel::keepAwake);
    activity.hold(ActivityLevel::keepAwake);  // same level: nothing happens
    EXPECT_TRUE(activity.isHolding());
    activity.hold(ActivityLevel::keepRunning);
    activity.hold(ActivityLevel::none);
    EXPECT_FALSE(activity.isHolding());
    EXPECT_EQ(activity.level(), ActivityLevel::none);
    activity.hold(ActivityLevel::keepRunning);
  }  // destroying the holder ends what it holds
  const std::string reason = ": Brimwell is looking after a low battery";
  EXPECT_EQ(backend->log,
            (std::vector<std::string>{"begin keepAwake" + reason, "begin keepRunning" + reason,
                                      "end keepAwake", "end keepRunning",
                                      "begin keepRunning" + reason, "end keepRunning"}));
}

TEST(ActivityLevelTest, RawValuesBeyondTwoNameNoLevel) {
  EXPECT_EQ(activityLevel(0), ActivityLevel::none);
  EXPECT_EQ(activityLevel(2), ActivityLevel::keepAwake);
  EXPECT_EQ(activityLevel(3), std::nullopt);
  EXPECT_EQ(activityLevel(-1), std::nullopt);
}

}  // namespace
}  // namespace brimwell
