// ProcessCommandRunner: the CommandRunner the daemon uses. It spawns the program directly (no
// shell) with /dev/null as input and an environment of exactly PATH and LANG, drains both output
// pipes while waiting, and stops an overrunning process with SIGTERM, then SIGKILL, each after
// half the grace time; a process that outlives both is reaped in the background. Stateless; any
// thread.
#pragma once

#include <sys/types.h>

#include <functional>

#include "helper/command_runner.h"

namespace brimwell {

class ProcessCommandRunner : public CommandRunner {
 public:
  // Delivers a signal to a process; returns 0 or -1 with errno set, like kill(2).
  using SignalSender = std::function<int(pid_t pid, int signal)>;

  Expected<CommandOutput, CommandRunnerError> run(const std::string& executable,
                                                  const std::vector<std::string>& arguments,
                                                  double timeout, double stopGrace) override;

  // As above, with `signal` delivering the stop signals (tests use it to refuse them).
  Expected<CommandOutput, CommandRunnerError> run(const std::string& executable,
                                                  const std::vector<std::string>& arguments,
                                                  double timeout, double stopGrace,
                                                  const SignalSender& signal);
};

// `bytes` as UTF-8 text, each invalid sequence replaced by U+FFFD.
std::string decodeUtf8Lossy(const std::string& bytes);

}  // namespace brimwell
