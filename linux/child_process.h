// A helper program run as a child of this process: started with its standard streams on given
// descriptors (or /dev/null) and default signal handling, and ended without ever hanging the
// caller. Callable from any thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace brimwell {

// Starts `argv` (argv[0] a path) with `input` as its standard input and `output` as its standard
// output (-1: /dev/null), standard error on /dev/null, no signal blocked and SIGPIPE, SIGTERM
// and SIGINT at their defaults. Every other descriptor of this process stays closed in the child
// (they are close-on-exec). The child's pid, or -1 when it can't be started.
pid_t spawnChild(const std::vector<std::string>& argv, int input = -1, int output = -1);

// Reaps `child`, waiting up to `grace` for it to end on its own before killing it (SIGKILL).
void endChild(pid_t child, std::chrono::milliseconds grace);

}  // namespace brimwell
