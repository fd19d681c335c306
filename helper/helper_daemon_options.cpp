#include "helper/helper_daemon_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "brimwell/core/helper/brimwell_helper_constants.h"
#include "helper/helper_command.h"

namespace brimwell {

HelperDaemonOptions HelperDaemonOptions::defaults() {
  namespace constants = BrimwellHelperConstants;
  return {std::string(constants::socketPath), std::string(constants::recordPath),
          std::string(brimwell::pmsetPath), constants::idleExitAfter};
}

Result<HelperDaemonOptions> parseHelperDaemonOptions(const std::vector<std::string>& arguments) {
  HelperDaemonOptions options = HelperDaemonOptions::defaults();
  for (std::size_t i = 0; i < arguments.size(); i += 2) {
    const std::string& flag = arguments[i];
    if (flag == "--help" || flag == "-h") {
      options.help = true;
      --i;  // takes no value
      continue;
    }
    if (flag != "--socket" && flag != "--record" && flag != "--pmset" && flag != "--idle-seconds") {
      return fail("The Brimwell helper has no option " + flag + ".");
    }
    if (i + 1 >= arguments.size()) return fail("The option " + flag + " needs a value.");
    const std::string& value = arguments[i + 1];
    if (flag == "--socket") {
      options.socketPath = value;
    } else if (flag == "--record") {
      options.recordPath = value;
    } else if (flag == "--pmset") {
      options.pmsetPath = value;
    } else if (flag == "--idle-seconds") {
      char* end = nullptr;
      double seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0) {
        return fail("The idle time " + value + " is not a number of seconds.");
      }
      options.idleExitAfter = seconds;
    }
  }
  return options;
}

std::string helperUsage() {
  const HelperDaemonOptions defaults = HelperDaemonOptions::defaults();
  char idle[32];
  std::snprintf(idle, sizeof idle, "%g", defaults.idleExitAfter);
  return "Usage: brimwell-helper [--socket PATH] [--record PATH] [--pmset PATH] "
         "[--idle-seconds SECONDS]\n"
         "\n"
         "The Brimwell helper: a root daemon that changes the power settings and puts the machine "
         "to\nsleep for Brimwell, each call authorised through polkit. The service manager starts "
         "it on\ndemand through its socket; it ends after a quiet period without a connection.\n"
         "\n"
         "  --socket PATH           where to listen when not handed a socket (default " +
         defaults.socketPath +
         ")\n"
         "  --record PATH           its record of what it changed (default " +
         defaults.recordPath +
         ")\n"
         "  --pmset PATH            the power tool it runs (default " +
         defaults.pmsetPath +
         ")\n"
         "  --idle-seconds SECONDS  how long it stays without a connection (default " +
         idle + ")\n  --help                  print this and exit\n";
}

}  // namespace brimwell
