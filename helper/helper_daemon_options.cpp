#include "helper/helper_daemon_options.h"

#include <cmath>
#include <cstdlib>

#include "core/helper/brimwell_helper_constants.h"
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
    } else {
      return fail("The Brimwell helper has no option " + flag + ".");
    }
  }
  return options;
}

}  // namespace brimwell
