// HelperDaemonOptions: where the daemon listens, keeps its record and finds the power tool, how
// long it stays idle. Production runs with the defaults;
// development and tests override them on the command line. Plain value and a pure parser.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct HelperDaemonOptions {
  std::string socketPath;
  std::string recordPath;
  std::string pmsetPath;
  double idleExitAfter = 0;
  bool help = false;  // --help: print the usage and do nothing else

  // The production values.
  static HelperDaemonOptions defaults();
};

// The options given by `arguments` (without the program name): --socket PATH, --record PATH,
// --pmset PATH, --idle-seconds SECONDS, --help. Anything else fails with a sentence.
Result<HelperDaemonOptions> parseHelperDaemonOptions(const std::vector<std::string>& arguments);

// What --help prints.
std::string helperUsage();

}  // namespace brimwell
