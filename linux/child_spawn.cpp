#include "linux/child_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace brimwell {
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  result.reserve(strings.size() + 1);
  for (auto& each : strings) result.push_back(each.data());
  result.push_back(nullptr);
  return result;
}

// Descriptor `target` of the child: a copy of `source`, or /dev/null.
int giveStream(posix_spawn_file_actions_t& actions, int source, int target) {
  if (source >= 0) return posix_spawn_file_actions_adddup2(&actions, source, target);
  return posix_spawn_file_actions_addopen(&actions, target, "/dev/null",
                                          target == 0 ? O_RDONLY : O_WRONLY, 0);
}

}  // namespace

Result<std::string> findProgram(const std::string& name, std::string_view path) {
  if (name.find('/') != std::string::npos) return name;
  bool forbidden = false;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find(':', start), path.size());
    const std::string_view directory = path.substr(start, end - start);
    start = end + 1;
    const std::string candidate = directory.empty() ? name : std::string(directory) + "/" + name;
    struct stat status {};
    if (::stat(candidate.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    forbidden = true;
  }
  return forbidden ? failPosix(EACCES) : failPosix(ENOENT);
}

Result<pid_t> spawnChild(const ChildStart& start) {
  if (start.argv.empty() || start.argv.front().empty()) {
    return fail("There is no program to start.", EINVAL);
  }
  std::string program = start.argv.front();
  if (start.searchPath) {
    const char* path = std::getenv("PATH");
    auto found = findProgram(program, path ? path : "/bin:/usr/bin");
    if (!found) return Unexpected(std::move(found).error());
    program = std::move(*found);
  }
  std::vector<std::string> arguments = start.argv;
  std::vector<std::string> environment =
      start.environment ? *start.environment : std::vector<std::string>{};
  const auto argv = pointers(arguments);
  const auto envp = pointers(environment);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  int problem = giveStream(actions, start.input, 0);
  if (problem == 0) problem = giveStream(actions, start.output, 1);
  if (problem == 0) problem = giveStream(actions, start.errors, 2);
  if (problem == 0) problem = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (problem == 0 && !start.directory.empty()) {
    problem = posix_spawn_file_actions_addchdir_np(&actions, start.directory.c_str());
  }
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  if (problem == 0) problem = posix_spawnattr_setsigmask(&attributes, &none);
  if (problem == 0) problem = posix_spawnattr_setsigdefault(&attributes, &all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (start.ownSession) flags |= POSIX_SPAWN_SETSID;
  if (problem == 0) problem = posix_spawnattr_setflags(&attributes, flags);
  pid_t pid = -1;
  if (problem == 0) {
    char* const* const env = start.environment ? envp.data() : environ;
    problem = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), env);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (problem != 0) return failPosix(problem);
  return pid;
}

}  // namespace brimwell
