// Runs a program as a child process with a deadline and collects its standard output; standard
// input and errors go to /dev/null. The child never outlives the call: on time-out it is killed
// and reaped. Callable from any thread.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct ChildOutput {
  int exitStatus = -1;  // -1 when the child didn't exit normally
  std::string out;
};

// Runs `argv` (argv[0] searched on PATH) for at most `timeout` seconds, keeping at most `maxOutput`
// bytes of output. Fails when the program can't be started (code: its errno) or runs out of time.
Result<ChildOutput> runChild(const std::vector<std::string>& argv, double timeout,
                             std::size_t maxOutput = 1 << 20);

}  // namespace brimwell
