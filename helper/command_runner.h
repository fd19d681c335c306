// CommandRunner: runs one program to completion with a deadline and returns what it printed.
// Implementations block the calling thread for the whole run and keep no shared state, so any
// thread may call them.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "brimwell/core/base/expected.h"

namespace brimwell {

struct CommandOutput {
  // The exit status (0-255), or 128 + the signal number for a process ended by a signal.
  std::int32_t status = 0;
  std::string stdout;  // UTF-8, invalid sequences replaced
  std::string stderr;
  friend bool operator==(const CommandOutput&, const CommandOutput&) = default;
};

// Why a run produced no output: the process could not be started, or it overran its time.
class CommandRunnerError {
 public:
  struct CouldNotLaunch {
    std::string reason;
    friend bool operator==(const CouldNotLaunch&, const CouldNotLaunch&) = default;
  };
  struct TimedOut {
    friend bool operator==(const TimedOut&, const TimedOut&) = default;
  };

  static CommandRunnerError couldNotLaunch(std::string reason) {
    return CommandRunnerError(CouldNotLaunch{std::move(reason)});
  }
  static CommandRunnerError timedOut() { return CommandRunnerError(TimedOut{}); }

  const std::variant<CouldNotLaunch, TimedOut>& kind() const { return kind_; }
  // `timedOut`, or `couldNotLaunch("reason")`.
  std::string describe() const;

  friend bool operator==(const CommandRunnerError&, const CommandRunnerError&) = default;

 private:
  explicit CommandRunnerError(std::variant<CouldNotLaunch, TimedOut> kind)
      : kind_(std::move(kind)) {}
  std::variant<CouldNotLaunch, TimedOut> kind_;
};

class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  // Runs `executable` with `arguments`; after `timeout` seconds the process is stopped, taking
  // up to `stopGrace` more seconds.
  virtual Expected<CommandOutput, CommandRunnerError> run(const std::string& executable,
                                                          const std::vector<std::string>& arguments,
                                                          double timeout, double stopGrace) = 0;
};

}  // namespace brimwell
