#include "linux/logind_activity_backend.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace brimwell {
namespace {

class NoActivity final : public ActivityBackend::Activity {};

// The running `systemd-inhibit` child and the write end of the pipe it waits on.
class InhibitorActivity final : public ActivityBackend::Activity {
 public:
  InhibitorActivity(pid_t child, int pipeWriteEnd) : child_(child), pipe_(pipeWriteEnd) {}
  InhibitorActivity(const InhibitorActivity&) = delete;
  InhibitorActivity& operator=(const InhibitorActivity&) = delete;

  // Closing the pipe ends the child's command, which releases the lock; the child is then reaped.
  // One that hasn't gone within a second is killed, so ending an activity never hangs.
  ~InhibitorActivity() override {
    ::close(pipe_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;) {
      const pid_t done = ::waitpid(child_, nullptr, WNOHANG);
      if (done == child_ || (done < 0 && errno != EINTR)) return;
      if (std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(child_, SIGKILL);
    while (::waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }

 private:
  const pid_t child_;
  const int pipe_;
};

// Starts `argv` with the read end of a new pipe as its standard input and /dev/null for its
// output, as an activity that owns the child; nothing when it can't be started.
std::unique_ptr<ActivityBackend::Activity> spawnHolding(const std::vector<std::string>& argv) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  // The dup2 onto 0 clears close-on-exec for the child's copy; every other descriptor of this
  // process, the write end included, stays closed in the child.
  bool ready =
      posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO) == 0 &&
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0;
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
  ::close(ends[0]);
  if (child < 0) {
    ::close(ends[1]);
    return nullptr;
  }
  return std::make_unique<InhibitorActivity>(child, ends[1]);
}

}  // namespace

LogindActivityBackend::LogindActivityBackend(LogindActivityOptions options)
    : options_(std::move(options)) {}

std::unique_ptr<ActivityBackend::Activity> LogindActivityBackend::begin(ActivityLevel level,
                                                                        std::string_view reason) {
  if (level != ActivityLevel::keepAwake) return std::make_unique<NoActivity>();
  std::error_code error;
  if (!std::filesystem::is_directory(options_.systemdRuntime, error)) {
    return std::make_unique<NoActivity>();
  }
  auto held = spawnHolding({options_.inhibitProgram, "--what=idle", "--mode=block",
                            "--who=" + options_.who, "--why=" + std::string(reason), "--", "cat"});
  if (!held) return std::make_unique<NoActivity>();
  return held;
}

}  // namespace brimwell
