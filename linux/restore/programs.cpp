#include "linux/restore/programs.h"

#include <sys/wait.h>

#include "linux/child_spawn.h"

namespace brimwell {

Result<pid_t> PosixPrograms::start(const std::vector<std::string>& argv,
                                   const std::string& directory) {
  // A restored program leads a session of its own: it lives on after the restore.
  return spawnChild({.argv = argv, .directory = directory, .ownSession = true});
}

std::optional<int> PosixPrograms::ended(pid_t pid) {
  int status = 0;
  const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
  if (reaped == 0) return std::nullopt;
  if (reaped < 0) return -1;  // not ours any more
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Result<ChildOutput> PosixPrograms::run(const std::vector<std::string>& argv, double timeout) {
  return runChild(argv, timeout);
}

}  // namespace brimwell
