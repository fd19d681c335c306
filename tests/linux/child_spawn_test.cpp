// A child starts clean whatever its parent set up: nothing of the parent's beyond the three
// streams it was given, no blocked signal, no ignored one, and a session of its own when asked.
#include "linux/child_spawn.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

// Runs `script` under /bin/sh with `start`'s settings, its output into a file; what it printed.
std::string runScript(ChildStart start, const std::string& script) {
  testing::TempDir dir;
  const int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  start.argv = {"/bin/sh", "-c", script};
  start.output = out;
  const auto pid = spawnChild(start);
  ::close(out);
  EXPECT_TRUE(pid) << pid.error().message();
  if (!pid) return {};
  int status = 0;
  ::waitpid(*pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return testing::readFile(dir / "out");
}

TEST(ChildSpawn, TheChildHasOnlyItsStreamsAndDefaultSignals) {
  // Left open without close-on-exec, blocked and ignored here: none of it reaches the child.
  const int leaked = ::open("/dev/null", O_RDONLY);
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  const auto ignored = ::signal(SIGUSR2, SIG_IGN);

  const std::string said = runScript(
      {},
      "ls /proc/self/fd | tr '\\n' ' '; sed -n 's/^Sig\\(Blk\\|Ign\\):\\t//p' /proc/self/status");
  ::signal(SIGUSR2, ignored);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(leaked);
  // ls itself holds 3 for the directory it lists; then the blocked and the ignored signal sets.
  std::istringstream words(said);
  std::string descriptors[4], blockedSet, ignoredSet;
  for (auto& each : descriptors) words >> each;
  words >> blockedSet >> ignoredSet;
  EXPECT_EQ((std::vector<std::string>(descriptors, descriptors + 4)),
            (std::vector<std::string>{"0", "1", "2", "3"}))
      << said;
  EXPECT_EQ(blockedSet, "0000000000000000");
  const auto ignoredBits = std::stoull(ignoredSet, nullptr, 16);
  EXPECT_EQ(ignoredBits & (1ull << (SIGUSR2 - 1)), 0u) << said;
  EXPECT_EQ(ignoredBits & (1ull << (SIGPIPE - 1)), 0u) << said;
}

TEST(ChildSpawn, DirectorySessionEnvironmentAndAProgramThatIsMissing) {
  testing::TempDir dir;
  const auto where = std::filesystem::canonical(dir.path()).string();
  const std::vector<std::string> environment{"ONLY=this"};
  EXPECT_EQ(runScript({.directory = where, .environment = &environment},
                      "pwd; env | grep -v '^PWD=\\|^SHLVL=\\|^_='"),
            where + "\nONLY=this\n");
  // A session of its own: the child leads it.
  EXPECT_EQ(
      runScript({.ownSession = true}, "set -- $(cat /proc/$$/stat); [ $6 -eq $$ ] && echo leads"),
      "leads\n");
  EXPECT_EQ(runScript({}, "set -- $(cat /proc/$$/stat); [ $6 -eq $$ ] || echo follows"),
            "follows\n");

  const auto missing = spawnChild({.argv = {"brimwell-no-such-program"}});
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code(), ENOENT);
  // Without a PATH search a bare name is not found either, even one that is on PATH.
  EXPECT_FALSE(spawnChild({.argv = {"sh", "-c", "true"}, .searchPath = false}));
  EXPECT_FALSE(spawnChild({}));
}

// A program is found as a shell finds it: the first executable file on PATH, passing over
// directories that can't be searched, so a missing program is "not found" and not a
// permission problem of some directory.
TEST(ChildSpawn, FindsProgramsOnPathAsAShellDoes) {
  testing::TempDir dir;
  const auto bin = dir / "bin", other = dir / "other", locked = dir / "locked";
  for (const auto& each : {bin, other, locked}) std::filesystem::create_directories(each);
  testing::writeFile(bin / "tool", "#!/bin/sh\n");
  testing::writeFile(other / "tool", "#!/bin/sh\n");
  testing::writeFile(other / "plain", "text");
  ::chmod((bin / "tool").c_str(), 0644);  // not executable: passed over
  ::chmod((other / "tool").c_str(), 0755);
  std::filesystem::create_directories(bin / "dir");
  std::filesystem::create_directories(other / "dir");
  // A directory nobody may search, and one that doesn't exist.
  ::chmod(locked.c_str(), 0);
  const std::string path =
      locked.string() + ":" + (dir / "none").string() + ":" + bin.string() + ":" + other.string();
  EXPECT_EQ(findProgram("tool", path), (other / "tool").string());
  EXPECT_EQ(findProgram("missing", path).error().code(), ENOENT);
  EXPECT_EQ(findProgram("dir", path).error().code(), ENOENT);
  EXPECT_EQ(findProgram("plain", path).error().code(), EACCES);
  EXPECT_EQ(findProgram("/any/where", path), std::string("/any/where"));
  ::chmod(locked.c_str(), 0755);
}

}  // namespace
}  // namespace brimwell
