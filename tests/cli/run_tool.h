// Runs the built brimwell tool as a program and collects what it printed and its exit status.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace brimwell::testing {

struct ToolRun {
  int status = -1;  // the exit status, 128 + the signal that ended the tool, or -1
  std::string out;
  std::string err;
};

// Starts the tool with `arguments`, its output and errors going to the files `out` and `err`;
// returns its process id, or -1 when it couldn't be started.
inline pid_t startTool(const std::vector<std::string>& arguments, const std::string& out,
                       const std::string& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> argv = {BRIMWELL_TOOL_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> args;
  for (auto& argument : argv) args.push_back(argument.data());
  args.push_back(nullptr);
  pid_t child = -1;
  if (::posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ) != 0) child = -1;
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

// The exit status of the started tool, 128 + the signal that ended it (as a shell reports), or
// -1 when it wasn't started.
inline int waitForTool(pid_t child) {
  int status = 0;
  if (child < 0) return -1;
  while (::waitpid(child, &status, 0) < 0) {
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline ToolRun runTool(const std::vector<std::string>& arguments) {
  TempDir capture;
  const std::string out = (capture / "out").string();
  const std::string err = (capture / "err").string();
  ToolRun run;
  run.status = waitForTool(startTool(arguments, out, err));
  run.out = readFile(out);
  run.err = readFile(err);
  return run;
}

// The lines of `text`, without their newlines.
inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

}  // namespace brimwell::testing
