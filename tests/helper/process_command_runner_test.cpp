#include "helper/process_command_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

Expected<CommandOutput, CommandRunnerError> shell(const std::string& script, double timeout = 5,
                                                  double grace = 1) {
  return ProcessCommandRunner().run("/bin/sh", {"-c", script}, timeout, grace);
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// No child of this process is left, reaped or not.
void expectNoChildren() {
  int status = 0;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(ProcessCommandRunnerTest, CollectsBothStreamsAndTheExitCode) {
  struct Row {
    const char* script;
    CommandOutput expected;
  };
  const Row rows[] = {
      {"echo out; echo err >&2", {0, "out\n", "err\n"}},
      {"echo only-out; exit 1", {1, "only-out\n", ""}},
      {"kill -KILL $$", {137, "", ""}},
      {"kill -TERM $$", {143, "", ""}},
      {"cat", {0, "", ""}},  // standard input is /dev/null
      {"printf 'a\\377b'",
       {0,
        "a\xEF\xBF\xBD"
        "b",
        ""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.script);
    auto output = shell(row.script);
    ASSERT_TRUE(output) << output.error().describe();
    EXPECT_EQ(*output, row.expected);
  }
  expectNoChildren();
}

TEST(ProcessCommandRunnerTest, DrainsMoreThanThePipeHoldsWhileWaiting) {
  auto output = shell("head -c 300000 /dev/zero | tr '\\0' x; head -c 100000 /dev/zero >&2", 5);
  ASSERT_TRUE(output);
  EXPECT_EQ(output->stdout, std::string(300000, 'x'));
  EXPECT_EQ(output->stderr.size(), 100000u);
}

TEST(ProcessCommandRunnerTest, TheChildSeesExactlyTheFixedEnvironment) {
  ::setenv("BRIMWELL_SECRET", "leak", 1);
  auto output = ProcessCommandRunner().run("/usr/bin/env", {}, 5, 1);
  ASSERT_TRUE(output);
  EXPECT_EQ(output->stdout, "PATH=/usr/bin:/bin:/usr/sbin:/sbin\nLANG=C\n");
}

TEST(ProcessCommandRunnerTest, TheChildHoldsNoDescriptorAboveStandardError) {
  // Inherited without close-on-exec, as a daemon may be handed descriptors it never opened.
  int inherited = ::open("/dev/null", O_RDONLY);
  ASSERT_GT(inherited, 2);
  auto output = shell("for n in 0 1 2 " + std::to_string(inherited) +
                      "; do [ -e /proc/$$/fd/$n ] && echo $n; done");
  ::close(inherited);
  ASSERT_TRUE(output);
  EXPECT_EQ(output->stdout, "0\n1\n2\n");
}

TEST(ProcessCommandRunnerTest, AnOverrunIsStoppedWithinTimeoutGraceAndReaderWaits) {
  auto start = Clock::now();
  auto output = shell("exec sleep 10", 0.3, 0.4);
  const double took = secondsSince(start);
  ASSERT_FALSE(output);
  EXPECT_EQ(output.error().describe(), "timedOut");
  EXPECT_GE(took, 0.3);
  EXPECT_LT(took, 0.3 + 0.4 + 1.0);
  expectNoChildren();
}

TEST(ProcessCommandRunnerTest, ATermIgnoringChildIsKilledAfterHalfTheGrace) {
  std::vector<int> signals;
  auto start = Clock::now();
  auto output =
      ProcessCommandRunner().run("/bin/sh", {"-c", "trap '' TERM; while :; do sleep 0.05; done"},
                                 0.2, 0.6, [&](pid_t pid, int signal) {
                                   signals.push_back(signal);
                                   return ::kill(pid, signal);
                                 });
  const double took = secondsSince(start);
  ASSERT_FALSE(output);
  EXPECT_EQ(signals, (std::vector<int>{SIGTERM, SIGKILL}));
  EXPECT_GE(took, 0.2 + 0.3);
  EXPECT_LT(took, 0.2 + 0.6 + 1.0);
}

TEST(ProcessCommandRunnerTest, AProcessThatSurvivesBothSignalsIsReapedInTheBackground) {
  // The stop signals are swallowed, so the run gives up; the child ends later on its own.
  auto output = ProcessCommandRunner().run("/bin/sh", {"-c", "exec sleep 0.6"}, 0.1, 0.2,
                                           [](pid_t, int) { return 0; });
  ASSERT_FALSE(output);
  EXPECT_EQ(output.error(), CommandRunnerError::timedOut());
  std::this_thread::sleep_for(std::chrono::milliseconds(900));
  expectNoChildren();
}

}  // namespace
}  // namespace brimwell
