// ChildProcesses: the processes a test harness starts (servers, compositors, clients), each held
// by a pidfd so that a signal never reaches another process that got a reused pid, and all ended
// when the object goes away, the last started first.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace brimwell::testing {

// Whether `condition` holds within `seconds`, asked every `every` and once more at the end.
template <class Condition>
bool waitUntil(Condition condition, double seconds,
               std::chrono::milliseconds every = std::chrono::milliseconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(every);
  }
  return condition();
}

class ChildProcesses {
 public:
  ChildProcesses() = default;
  ChildProcesses(const ChildProcesses&) = delete;
  ChildProcesses& operator=(const ChildProcesses&) = delete;
  ~ChildProcesses() {
    for (auto it = started_.rbegin(); it != started_.rend(); ++it) end(*it);
  }

  // Starts `argv` (found on PATH) in `directory` (empty: here) with this process's environment,
  // each of `settings` replacing the variable of that name (NAME=value) or removing it (NAME),
  // its output going to `log`; the pid, or -1.
  pid_t spawn(const std::vector<std::string>& argv, const std::string& directory,
              const std::vector<std::string>& settings, const std::string& log = "/dev/null") {
    std::vector<std::string> environment;
    const auto overridden = [&](const char* entry) {
      for (const auto& setting : settings) {
        const std::string name = setting.substr(0, setting.find('=')) + "=";
        if (std::strncmp(entry, name.c_str(), name.size()) == 0) return true;
      }
      return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!overridden(*entry)) environment.emplace_back(*entry);
    }
    for (const auto& setting : settings) {
      if (setting.find('=') != std::string::npos) environment.push_back(setting);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid > 0) {
      pidfds_[pid] = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
      started_.push_back(pid);
    }
    return pid;
  }

  // Ends a process started here (SIGTERM, then SIGKILL after a second) and reaps it.
  void end(pid_t pid) {
    const auto held = pidfds_.find(pid);
    if (held == pidfds_.end()) return;
    const int pidfd = held->second;
    pidfds_.erase(held);
    // Until it is reaped the pid is this process's own, so without a pidfd kill() is still safe.
    const auto send = [&](int signal) {
      if (pidfd < 0) return void(::kill(pid, signal));
      ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0);
    };
    send(SIGTERM);
    pollfd exited{.fd = pidfd, .events = POLLIN};
    if (pidfd < 0 || ::poll(&exited, 1, 1000) != 1) send(SIGKILL);
    reap(pid, pidfd);
  }

  // Waits for a process started here to end by itself; its exit status, or -1.
  int wait(pid_t pid) {
    const auto held = pidfds_.find(pid);
    if (held == pidfds_.end()) return -1;
    const int pidfd = held->second;
    pidfds_.erase(held);
    return reap(pid, pidfd);
  }

  bool alive(pid_t pid) const {
    const auto held = pidfds_.find(pid);
    if (held == pidfds_.end()) return false;
    pollfd exited{.fd = held->second, .events = POLLIN};
    return ::poll(&exited, 1, 0) == 0;
  }

 private:
  static int reap(pid_t pid, int pidfd) {
    int status = 0;
    pid_t got;
    while ((got = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (pidfd >= 0) ::close(pidfd);
    return got == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::map<pid_t, int> pidfds_;  // every process started and not yet reaped
  std::vector<pid_t> started_;
};

}  // namespace brimwell::testing
