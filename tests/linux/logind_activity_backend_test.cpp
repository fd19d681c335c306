#include "linux/logind_activity_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using namespace std::chrono_literals;

// A backend whose inhibitor program is the fake beside this file, copied into `dir`, and whose
// systemd runtime directory exists there.
LogindActivityOptions fakeLogind(const testing::TempDir& dir) {
  std::filesystem::copy_file(BRIMWELL_FAKE_SYSTEMD_INHIBIT, dir / "systemd-inhibit");
  std::filesystem::create_directories(dir / "run-systemd");
  return {(dir / "systemd-inhibit").string(), dir / "run-systemd", "Brimwell"};
}

// Waits up to five seconds for the fake's lock file to read `state`.
bool lockBecomes(const testing::TempDir& dir, const std::string& state) {
  for (int i = 0; i < 500; ++i) {
    if (testing::readFile(dir / "lock") == state + "\n") return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST(LogindActivityBackendTest, HoldsAnIdleLockForKeepAwakeUntilTheActivityEnds) {
  testing::TempDir dir;
  LogindActivityBackend backend(fakeLogind(dir));
  auto activity = backend.begin(ActivityLevel::keepAwake, ProcessActivity::reason);
  ASSERT_NE(activity, nullptr);
  ASSERT_TRUE(lockBecomes(dir, "held"));
  EXPECT_EQ(testing::readFile(dir / "options"),
            "--what=idle\n--mode=block\n--who=Brimwell\n"
            "--why=Brimwell is looking after a low battery\n");

  activity.reset();  // returns only once the child has been reaped
  EXPECT_EQ(testing::readFile(dir / "lock"), "released\n");
}

TEST(LogindActivityBackendTest, HoldsNothingWithoutLogindOrForKeepRunning) {
  testing::TempDir dir;
  const auto options = fakeLogind(dir);
  auto noSystemd = options, noProgram = options;
  noSystemd.systemdRuntime = dir / "missing";
  noProgram.inhibitProgram = (dir / "no-such-program").string();
  const std::pair<LogindActivityOptions, ActivityLevel> cases[] = {
      {options, ActivityLevel::keepRunning},  // needs no lock
      {noSystemd, ActivityLevel::keepAwake},  // logind can't be reached
      {noProgram, ActivityLevel::keepAwake},  // the program is not installed
  };
  std::vector<std::unique_ptr<ActivityBackend::Activity>> held;
  for (const auto& [each, level] : cases) {
    held.push_back(LogindActivityBackend(each).begin(level, "r"));
    EXPECT_NE(held.back(), nullptr);
  }
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(std::filesystem::exists(dir / "lock")) << "a lock was taken";

  // Driven through ProcessActivity, a failing backend still leaves the level held and ending it
  // is quiet.
  ProcessActivity activity(std::make_shared<LogindActivityBackend>(noProgram));
  activity.hold(ActivityLevel::keepAwake);
  EXPECT_EQ(activity.level(), ActivityLevel::keepAwake);
  activity.hold(ActivityLevel::none);
  EXPECT_FALSE(activity.isHolding());
}

}  // namespace
}  // namespace brimwell
