// LogindSleepSignals: tells the engine's thread when the machine is about to sleep and when it has
// woken, from logind's PrepareForSleep signal as a `gdbus monitor` child prints it. Without logind
// or the monitor program it tells nothing. Engine thread only (the io_context's).
#pragma once

#include <sys/types.h>

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

struct LogindSleepOptions {
  // Prints every signal of a bus name, one line each.
  std::string monitorProgram = "/usr/bin/gdbus";
  // Present only on a machine booted with systemd, where logind can be reached.
  std::filesystem::path systemdRuntime = "/run/systemd/system";
};

// The argument of a PrepareForSleep line as the monitor prints it, such as
// "/org/freedesktop/login1: org.freedesktop.login1.Manager.PrepareForSleep (true,)": true before
// sleep, false after waking; nothing for any other line.
std::optional<bool> prepareForSleep(std::string_view line);

class LogindSleepSignals {
 public:
  explicit LogindSleepSignals(asio::io_context& context, LogindSleepOptions options = {});
  LogindSleepSignals(const LogindSleepSignals&) = delete;
  LogindSleepSignals& operator=(const LogindSleepSignals&) = delete;
  ~LogindSleepSignals();

  // Starts the monitor; `onChange(true)` then comes before each sleep and `onChange(false)` after
  // each wake, on the io_context's thread. False, and nothing is ever told, when no monitor could
  // be started.
  bool start(std::function<void(bool goingToSleep)> onChange);
  // Ends the monitor; nothing is told afterwards. Never hangs: a child that doesn't end at once
  // is killed.
  void stop();

 private:
  void readNext();

  LogindSleepOptions options_;
  asio::posix::stream_descriptor pipe_;
  std::string pending_;
  std::function<void(bool)> onChange_;
  pid_t child_ = -1;
};

}  // namespace brimwell
