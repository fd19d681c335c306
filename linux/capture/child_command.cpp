#include "linux/capture/child_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace brimwell {
namespace {

int reap(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

Result<ChildOutput> runChild(const std::vector<std::string>& argv, double timeout,
                             std::size_t maxOutput) {
  if (argv.empty()) return fail("No program was given to run.");
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return failPosix(errno);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> args;
  for (const auto& argument : argv) args.push_back(const_cast<char*>(argument.c_str()));
  args.push_back(nullptr);
  pid_t child = -1;
  const int spawned = ::posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return fail(argv[0] + " couldn't be started.", spawned);
  }

  ChildOutput result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd readable{.fd = pipeFds[0], .events = POLLIN};
    const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buffer[8192];
    const auto got = ::read(pipeFds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    const auto keep = std::min<std::size_t>(static_cast<std::size_t>(got),
                                            maxOutput - std::min(maxOutput, result.out.size()));
    result.out.append(buffer, keep);
  }
  ::close(pipeFds[0]);
  if (timedOut) {
    ::kill(child, SIGKILL);
    reap(child);
    return fail(argv[0] + " didn't answer in time.");
  }
  // The output is closed; the child has until the deadline to exit.
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) {
      result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return result;
    }
    if (done < 0 && errno != EINTR) return result;
    if (std::chrono::steady_clock::now() >= deadline) break;
    ::usleep(1000);
  }
  ::kill(child, SIGKILL);
  reap(child);
  return fail(argv[0] + " didn't answer in time.");
}

}  // namespace brimwell
