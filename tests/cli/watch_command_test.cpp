#include "cli/watch_command.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "core/journal/journal_store.h"
#include "tests/cli/run_tool.h"

namespace brimwell {
namespace {

// Starts `brimwell watch` on a fake battery, waits until it has told its first event, ends it
// with `signal` and returns its exit status with what it printed.
testing::ToolRun watchUntilSignal(const testing::TempDir& dir, int signal) {
  const std::string out = (dir / "out").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> argv = {BRIMWELL_TOOL_PATH,         "watch",          "--support",
                                   (dir / "support").string(), "--fake-battery", "15,battery,40"};
  std::vector<char*> args;
  for (auto& argument : argv) args.push_back(argument.data());
  args.push_back(nullptr);
  pid_t child = -1;
  testing::ToolRun run;
  if (::posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ) != 0) return run;
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 1000 && testing::readFile(out).find("enteredPhase") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(child, signal);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.out = testing::readFile(out);
  return run;
}

TEST(WatchCommand, EndsCleanlyOnTerminationAndInterruption) {
  for (int signal : {SIGTERM, SIGINT}) {
    testing::TempDir dir;
    const testing::ToolRun run = watchUntilSignal(dir, signal);
    EXPECT_EQ(run.status, 0) << signal;
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
