#include "helper/process_command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include "core/base/error.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

// Drains one pipe on its own thread until end of file; the thread owns the descriptor and keeps
// the shared state alive for as long as it reads.
class PipeReader {
 public:
  explicit PipeReader(int fd) : state_(std::make_shared<State>()) {
    std::thread([fd, state = state_] {
      char buffer[16384];
      for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof(buffer));
        if (count > 0) {
          std::lock_guard lock(state->lock);
          state->data.append(buffer, static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EINTR) {
          continue;
        } else {
          break;
        }
      }
      ::close(fd);
      std::lock_guard lock(state->lock);
      state->done = true;
      state->finished.notify_all();
    }).detach();
  }

  // Waits up to `seconds` for the end of reading; true when it ended.
  bool waitDone(double seconds) {
    std::unique_lock lock(state_->lock);
    return state_->finished.wait_for(lock, std::chrono::duration<double>(seconds),
                                     [&] { return state_->done; });
  }

  std::string data() {
    std::lock_guard lock(state_->lock);
    return state_->data;
  }

 private:
  struct State {
    std::mutex lock;
    std::condition_variable finished;
    std::string data;
    bool done = false;
  };
  std::shared_ptr<State> state_;
};

// Waits up to `within` seconds for `pid` to exit, storing its wait status in `status`. A wait
// that fails for a reason other than a signal also ends the wait (`status` keeps its value).
// Wakes through the process descriptor when there is one, else polls every 5 ms.
bool waitForExit(pid_t pid, int pidfd, int& status, double within) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(within));
  for (;;) {
    int polled = 0;
    pid_t result = ::waitpid(pid, &polled, WNOHANG);
    if (result == pid) {
      status = polled;
      return true;
    }
    if (result < 0 && errno != EINTR) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    if (pidfd >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
      struct pollfd entry = {pidfd, POLLIN, 0};
      ::poll(&entry, 1, static_cast<int>(left));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
}

std::vector<char*> cStrings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& each : strings) pointers.push_back(each.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::int32_t exitCode(int status) {
  if ((status & 0x7f) != 0) return 128 + (status & 0x7f);
  return (status >> 8) & 0xff;
}

}  // namespace

std::string decodeUtf8Lossy(const std::string& bytes) {
  static const char replacement[] = "\xEF\xBF\xBD";
  std::string text;
  text.reserve(bytes.size());
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = 0;
  while (i < size) {
    unsigned char lead = data[i];
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    if (lead < 0x80) {
      text.push_back(static_cast<char>(lead));
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, lowest = 0x10000;
    }
    std::size_t valid = length == 0 ? 0 : 1;
    std::uint32_t code = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    while (valid > 0 && valid < length && i + valid < size && (data[i + valid] & 0xC0) == 0x80) {
      code = (code << 6) | (data[i + valid] & 0x3F);
      ++valid;
    }
    if (length != 0 && valid == length && code >= lowest && code <= 0x10FFFF &&
        (code < 0xD800 || code > 0xDFFF)) {
      text.append(bytes, i, length);
      i += length;
    } else {
      text.append(replacement);
      i += valid == 0 ? 1 : valid;
    }
  }
  return text;
}

Expected<CommandOutput, CommandRunnerError> ProcessCommandRunner::run(
    const std::string& executable, const std::vector<std::string>& arguments, double timeout,
    double stopGrace) {
  return run(executable, arguments, timeout, stopGrace,
             [](pid_t pid, int signal) { return ::kill(pid, signal); });
}

Expected<CommandOutput, CommandRunnerError> ProcessCommandRunner::run(
    const std::string& executable, const std::vector<std::string>& arguments, double timeout,
    double stopGrace, const SignalSender& signal) {
  // Every descriptor is close-on-exec, so no other child ever holds a write end and delays the
  // end of output; the file actions give the child its own copies on 1 and 2 and then close
  // everything above 2, so nothing this daemon inherited without close-on-exec reaches the tool.
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    return Unexpected(CommandRunnerError::couldNotLaunch("pipe: " + std::to_string(errno)));
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    int error = errno;
    ::close(out[0]);
    ::close(out[1]);
    return Unexpected(CommandRunnerError::couldNotLaunch("pipe: " + std::to_string(error)));
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  // The child starts with no blocked signals and default dispositions, whatever this process
  // has set up for itself.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> argumentStrings{executable};
  argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environmentStrings{"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LANG=C"};
  auto argv = cStrings(argumentStrings);
  auto envp = cStrings(environmentStrings);

  pid_t pid = 0;
  int spawnError =
      ::posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  ::close(err[1]);
  if (spawnError != 0) {
    ::close(out[0]);
    ::close(err[0]);
    return Unexpected(CommandRunnerError::couldNotLaunch(Error::posix(spawnError).message()));
  }

  PipeReader outReader(out[0]);
  PipeReader errReader(err[0]);
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  struct PidfdCloser {
    int fd;
    ~PidfdCloser() {
      if (fd >= 0) ::close(fd);
    }
  } closer{pidfd};

  int status = 0;
  if (waitForExit(pid, pidfd, status, timeout)) {
    outReader.waitDone(2);
    errReader.waitDone(2);
    return CommandOutput{exitCode(status), decodeUtf8Lossy(outReader.data()),
                         decodeUtf8Lossy(errReader.data())};
  }

  signal(pid, SIGTERM);
  if (!waitForExit(pid, pidfd, status, stopGrace * 0.5)) {
    signal(pid, SIGKILL);
    if (!waitForExit(pid, pidfd, status, stopGrace * 0.5)) {
      std::thread([pid] {
        int ignored = 0;
        while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    }
  }
  outReader.waitDone(0.5);
  errReader.waitDone(0.5);
  return Unexpected(CommandRunnerError::timedOut());
}

}  // namespace brimwell
