// Starting a child process one way everywhere: its standard streams from descriptors the caller
// names (else /dev/null), no other descriptor of the caller's, no blocked signal and every
// disposition at its default, whatever the caller has set up for itself.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct ChildStart {
  std::vector<std::string> argv;  // argv[0]: a path, or with `searchPath` a name on PATH
  bool searchPath = true;
  int input = -1;  // the child's descriptors 0, 1 and 2; -1: /dev/null
  int output = -1;
  int errors = -1;
  std::string directory;    // where it starts; empty: where the caller is
  bool ownSession = false;  // leads a session of its own, so it outlives the caller's
  const std::vector<std::string>* environment = nullptr;  // NAME=value; null: the caller's
};

// The started child's pid; fails with the system's error when it can't be started.
Result<pid_t> spawnChild(const ChildStart& start);

// The program `name` stands for on `path` (a PATH value; empty entries mean the current
// directory): the first executable regular file of that name, as a shell finds it, passing over
// directories this user may not search. A name with a slash is taken as it is. Fails with ENOENT
// when no directory holds it, or EACCES when the only ones found may not be run.
Result<std::string> findProgram(const std::string& name, std::string_view path);

}  // namespace brimwell
