#include "linux/capture/child_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "linux/child_spawn.h"

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
  const auto started = spawnChild({.argv = argv, .output = pipeFds[1]});
  ::close(pipeFds[1]);
  if (!started) {
    ::close(pipeFds[0]);
    return fail(argv[0] + " couldn't be started.", started.error().code());
  }
  const pid_t child = *started;

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
