#include "cli/watch_command.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "brimwell/core/journal/journal_store.h"
#include "tests/cli/run_tool.h"
#include "tests/support/scoped_environment.h"

namespace brimwell {
namespace {

// Starts `brimwell watch` on a fake battery, waits until it has told its first event, ends it
// with `signal` and returns its exit status with what it printed.
testing::ToolRun watchUntilSignal(const testing::TempDir& dir, int signal) {
  // Nothing of the user's (settings, browser profiles, tmux server) takes part.
  testing::ScopedEnvironment environment;
  environment.set("HOME", dir.path().string());
  environment.set("XDG_CONFIG_HOME", (dir / "config").string());
  environment.set("TMUX_TMPDIR", dir.path().string());
  const std::string out = (dir / "out").string();
  const pid_t child = testing::startTool(
      {"watch", "--support", (dir / "support").string(), "--fake-battery", "15,battery,40"}, out,
      (dir / "err").string());
  for (int i = 0; i < 1000 && testing::readFile(out).find("enteredPhase") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (child > 0) ::kill(child, signal);
  testing::ToolRun run;
  run.status = testing::waitForTool(child);
  run.out = testing::readFile(out);
  run.err = testing::readFile((dir / "err").string());
  return run;
}

TEST(WatchCommand, EndsCleanlyOnTerminationAndInterruption) {
  for (int signal : {SIGTERM, SIGINT}) {
    testing::TempDir dir;
    const testing::ToolRun run = watchUntilSignal(dir, signal);
    EXPECT_EQ(run.status, 0) << "after signal " << signal << ", it said: " << run.err;
    EXPECT_NE(run.out.find(R"({"event":"enteredPhase","percent":15,"phase":"ready"})"),
              std::string::npos)
        << run.out;
    const auto journal = JournalStore(BrimwellPaths{dir / "support", dir / "rescued"}).read();
    ASSERT_TRUE(journal.has_value());
    EXPECT_TRUE(journal->cleanExit);
    EXPECT_EQ(journal->exitReason, ExitReason::sigterm);
  }
}

}  // namespace
}  // namespace brimwell
