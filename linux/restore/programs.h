// Programs: how the restore executor starts programs. `start` runs one detached: in a session of
// its own, standard streams on /dev/null, no descriptor of ours inherited, never through a shell.
// `run` runs one to its end under a deadline. The POSIX one uses posix_spawn; tests give fakes.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/capture/child_command.h"

namespace brimwell {

class Programs {
 public:
  virtual ~Programs() = default;
  // Starts `argv` (argv[0] searched on PATH when it has no "/") in `directory` (empty: ours).
  // Fails with the system's reason when it can't be started (no such program, no directory).
  virtual Result<pid_t> start(const std::vector<std::string>& argv,
                              const std::string& directory) = 0;
  // The exit status of a started program once it has ended (-1 when killed), else nothing.
  virtual std::optional<int> ended(pid_t pid) = 0;
  // Runs `argv` to its end within `timeout` seconds and gives its output.
  virtual Result<ChildOutput> run(const std::vector<std::string>& argv, double timeout) = 0;
};

class PosixPrograms final : public Programs {
 public:
  Result<pid_t> start(const std::vector<std::string>& argv, const std::string& directory) override;
  std::optional<int> ended(pid_t pid) override;
  Result<ChildOutput> run(const std::vector<std::string>& argv, double timeout) override;
};

}  // namespace brimwell
