#include "linux/restore/programs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace brimwell {

Result<pid_t> PosixPrograms::start(const std::vector<std::string>& argv,
                                   const std::string& directory) {
  if (argv.empty() || argv.front().empty()) return fail("There is no program to start.");
  std::vector<std::string> copies = argv;
  std::vector<char*> args;
  for (auto& arg : copies) args.push_back(arg.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  int problem = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (problem == 0)
    problem = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (problem == 0)
    problem = posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (problem == 0) problem = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (problem == 0 && !directory.empty()) {
    problem = posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  }
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  if (problem == 0) problem = posix_spawnattr_setsigmask(&attributes, &none);
  if (problem == 0) problem = posix_spawnattr_setsigdefault(&attributes, &all);
  if (problem == 0) {
    problem = posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  pid_t pid = -1;
  if (problem == 0)
    problem = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (problem != 0) return failPosix(problem);
  return pid;
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
