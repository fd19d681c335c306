#include "helper/process_command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include "brimwell/core/base/error.h"
#include "linux/child_spawn.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

// The read ends of the child's standard output and error, drained on the calling thread.
class ChildPipes {
 public:
  ChildPipes(int out, int err) : fds_{out, err} {}
  ~ChildPipes() {
    for (int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  ChildPipes(const ChildPipes&) = delete;
  ChildPipes& operator=(const ChildPipes&) = delete;

  bool drained() const { return fds_[0] < 0 && fds_[1] < 0; }
  std::string& data(int which) { return data_[which]; }

  // Reads what arrives, and watches `pidfd` (when not -1) for the child's exit, until `done`
  // holds or `until` passes; true when `done` held.
  bool pump(int pidfd, Clock::time_point until, const std::function<bool()>& done) {
    for (;;) {
      if (done()) return true;
      const auto now = Clock::now();
      if (now >= until) return false;
      pollfd entries[3];
      int count = 0;
      for (int fd : fds_) {
        if (fd >= 0) entries[count++] = {fd, POLLIN, 0};
      }
      if (pidfd >= 0) entries[count++] = {pidfd, POLLIN, 0};
      auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
      // Without a process descriptor the exit is only seen by asking for it now and then.
      if (pidfd < 0) wait = std::min<decltype(wait)>(wait, 5);
      if (::poll(entries, static_cast<nfds_t>(count), static_cast<int>(wait)) <= 0) continue;
      for (int i = 0; i < count; ++i) {
        if (entries[i].revents != 0 && entries[i].fd != pidfd) readFrom(entries[i].fd);
      }
    }
  }

 private:
  void readFrom(int fd) {
    const int which = fd == fds_[0] ? 0 : 1;
    char buffer[16384];
    ssize_t count = ::read(fd, buffer, sizeof(buffer));
    if (count > 0) {
      data_[which].append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
      ::close(fd);
      fds_[which] = -1;
    }
  }

  int fds_[2];
  std::string data_[2];
};

// Reaps `pid` when it has exited, storing its wait status in `status`. A wait that fails for a
// reason other than a signal also counts as the end (`status` keeps its value).
bool reaped(pid_t pid, int& status) {
  int polled = 0;
  pid_t result = ::waitpid(pid, &polled, WNOHANG);
  if (result == pid) {
    status = polled;
    return true;
  }
  return result < 0 && errno != EINTR;
}

Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
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

  // The tool gets a fixed environment and starts with nothing else of this daemon's: no
  // descriptor above 2, no blocked signal, no disposition of its own.
  std::vector<std::string> argumentStrings{executable};
  argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
  const std::vector<std::string> environment{"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LANG=C"};
  const auto started = spawnChild({.argv = std::move(argumentStrings),
                                   .searchPath = false,
                                   .output = out[1],
                                   .errors = err[1],
                                   .environment = &environment});
  ::close(out[1]);
  ::close(err[1]);
  if (!started) {
    ::close(out[0]);
    ::close(err[0]);
    return Unexpected(CommandRunnerError::couldNotLaunch(started.error().message()));
  }
  const pid_t pid = *started;

  ChildPipes pipes(out[0], err[0]);
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  struct PidfdCloser {
    int fd;
    ~PidfdCloser() {
      if (fd >= 0) ::close(fd);
    }
  } closer{pidfd};

  // Both pipes are drained while the child runs, so a child with much to say never blocks on a
  // full pipe; after its exit, whatever it left in them is read for a little longer.
  int status = 0;
  const auto exited = [&] { return reaped(pid, status); };
  const auto drained = [&] { return pipes.drained(); };
  if (pipes.pump(pidfd, after(timeout), exited)) {
    pipes.pump(-1, after(2), drained);
    return CommandOutput{exitCode(status), decodeUtf8Lossy(pipes.data(0)),
                         decodeUtf8Lossy(pipes.data(1))};
  }

  signal(pid, SIGTERM);
  if (!pipes.pump(pidfd, after(stopGrace * 0.5), exited)) {
    signal(pid, SIGKILL);
    if (!pipes.pump(pidfd, after(stopGrace * 0.5), exited)) {
      std::thread([pid] {
        int ignored = 0;
        while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    }
  }
  pipes.pump(-1, after(0.5), drained);
  return Unexpected(CommandRunnerError::timedOut());
}

}  // namespace brimwell
