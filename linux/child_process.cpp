#include "linux/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace brimwell {
namespace {

// `fd` as the child's descriptor `target`, or /dev/null opened for `flags` when `fd` is -1. The
// dup2 clears close-on-exec for the child's copy only.
bool place(posix_spawn_file_actions_t& actions, int fd, int target, int flags) {
  if (fd < 0) return posix_spawn_file_actions_addopen(&actions, target, "/dev/null", flags, 0) == 0;
  return posix_spawn_file_actions_adddup2(&actions, fd, target) == 0;
}

}  // namespace

pid_t spawnChild(const std::vector<std::string>& argv, int input, int output) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  bool ready = place(actions, input, STDIN_FILENO, O_RDONLY) &&
               place(actions, output, STDOUT_FILENO, O_WRONLY) &&
               place(actions, -1, STDERR_FILENO, O_WRONLY);
  sigset_t none;
  sigset_t defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGINT);
  ready =
      ready && posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
      posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;

  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t child = -1;
  if (ready && ::posix_spawn(&child, args[0], &actions, &attributes, args.data(), environ) != 0) {
    child = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return child;
}

void endChild(pid_t child, std::chrono::milliseconds grace) {
  const auto deadline = std::chrono::steady_clock::now() + grace;
  for (;;) {
    const pid_t done = ::waitpid(child, nullptr, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) return;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(child, SIGKILL);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace brimwell
