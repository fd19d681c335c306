#include "linux/logind_sleep_signals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using namespace std::chrono_literals;

TEST(LogindSleepSignalsTest, ReadsOnlyThePrepareForSleepLines) {
  const struct {
    const char* line;
    std::optional<bool> expected;
  } rows[] = {
      {"/org/freedesktop/login1: org.freedesktop.login1.Manager.PrepareForSleep (true,)", true},
      {"/org/freedesktop/login1: org.freedesktop.login1.Manager.PrepareForSleep (false,)", false},
      {"/org/freedesktop/login1: org.freedesktop.login1.Manager.PrepareForShutdown (true,)", {}},
      {"/org/freedesktop/login1: org.freedesktop.login1.Manager.PrepareForSleep ()", {}},
      {"Monitoring signals from all objects owned by org.freedesktop.login1", {}},
      {"", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(prepareForSleep(row.line), row.expected) << row.line;
}

// A stand-in monitor in `dir`: records its arguments and pid, then runs `body`.
LogindSleepOptions fakeMonitor(const testing::TempDir& dir, const std::string& body) {
  const auto program = dir / "gdbus";
  testing::writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + dir.path().string() +
                                  "/arguments\"\necho $$ > \"" + dir.path().string() + "/pid\"\n" +
                                  body);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  std::filesystem::create_directories(dir / "run-systemd");
  return {program.string(), dir / "run-systemd"};
}

constexpr const char* kSleepAndWake =
    "echo 'Monitoring signals from all objects owned by org.freedesktop.login1'\n"
    "echo '/org/freedesktop/login1: org.freedesktop.login1.Manager.PrepareForSleep (true,)'\n"
    "echo '/org/freedesktop/login1: org.freedesktop.login1.Session.Lock ()'\n"
    "echo '/org/freedesktop/login1: org.freedesktop.login1.Manager.PrepareForSleep (false,)'\n";

// Runs `context` until `told` holds `count` values or five seconds have passed.
void runUntil(asio::io_context& context, const std::vector<bool>& told, std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (told.size() < count && std::chrono::steady_clock::now() < deadline) {
    context.run_for(10ms);
    context.restart();
  }
}

TEST(LogindSleepSignalsTest, TellsSleepAndWakeInOrderAndEndsTheMonitorWhenStopped) {
  testing::TempDir dir;
  asio::io_context context;
  LogindSleepSignals signals(context,
                             fakeMonitor(dir, std::string(kSleepAndWake) + "exec sleep 30\n"));
  std::vector<bool> told;
  ASSERT_TRUE(signals.start([&](bool goingToSleep) { told.push_back(goingToSleep); }));
  runUntil(context, told, 2);
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
  EXPECT_EQ(testing::readFile(dir / "arguments"),
            "monitor\n--system\n--dest\norg.freedesktop.login1\n--object-path\n"
            "/org/freedesktop/login1\n");

  const pid_t monitor = std::stoi(testing::readFile(dir / "pid"));
  signals.stop();  // the sleeping monitor is killed and reaped
  EXPECT_EQ(::kill(monitor, 0), -1);
  EXPECT_EQ(errno, ESRCH);
  context.run_for(20ms);
  EXPECT_EQ(told.size(), 2u);
}

TEST(LogindSleepSignalsTest, TellsNothingWithoutLogindOrAMonitorAndSurvivesItsEnd) {
  testing::TempDir dir;
  asio::io_context context;
  std::vector<bool> told;
  const auto record = [&](bool goingToSleep) { told.push_back(goingToSleep); };

  auto noSystemd = fakeMonitor(dir, kSleepAndWake);
  noSystemd.systemdRuntime = dir / "missing";
  EXPECT_FALSE(LogindSleepSignals(context, noSystemd).start(record));
  auto noProgram = fakeMonitor(dir, kSleepAndWake);
  noProgram.monitorProgram = (dir / "no-such-program").string();
  EXPECT_FALSE(LogindSleepSignals(context, noProgram).start(record));
  EXPECT_FALSE(std::filesystem::exists(dir / "pid")) << "a monitor was started";

  // A monitor that ends after its lines: what it said is told, then nothing more.
  LogindSleepSignals ending(context, fakeMonitor(dir, kSleepAndWake));
  ASSERT_TRUE(ending.start(record));
  runUntil(context, told, 2);
  context.run_for(100ms);
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace brimwell
