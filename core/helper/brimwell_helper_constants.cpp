#include "brimwell/core/helper/brimwell_helper_constants.h"

#include <algorithm>

#include "brimwell/core/base/plain_decimal.h"

#ifndef BRIMWELL_BUILD_VERSION
#define BRIMWELL_BUILD_VERSION ""
#endif
#ifndef BRIMWELL_HELPER_SOCKET_PATH
#define BRIMWELL_HELPER_SOCKET_PATH "/run/com.tallowgate.brimwell.helper.sock"
#endif
#ifndef BRIMWELL_HELPER_EXECUTABLE_PATH
#define BRIMWELL_HELPER_EXECUTABLE_PATH "/usr/libexec/brimwell/brimwell-helper"
#endif
#ifndef BRIMWELL_HELPER_RECORD_PATH
#define BRIMWELL_HELPER_RECORD_PATH "/var/lib/brimwell/helper-state.json"
#endif
#ifndef BRIMWELL_APPLICATION_EXECUTABLE_PATH
#define BRIMWELL_APPLICATION_EXECUTABLE_PATH "/usr/bin/brimwell"
#endif

namespace brimwell::BrimwellHelperConstants {

const std::string_view socketPath = BRIMWELL_HELPER_SOCKET_PATH;
const std::string_view helperExecutablePath = BRIMWELL_HELPER_EXECUTABLE_PATH;
const std::string_view applicationExecutablePath = BRIMWELL_APPLICATION_EXECUTABLE_PATH;
const std::string_view recordPath = BRIMWELL_HELPER_RECORD_PATH;

std::optional<std::int64_t> buildVersion(const std::map<std::string, InfoValue>& info) {
  auto found = info.find("CFBundleVersion");
  if (found == info.end()) return std::nullopt;
  const auto* text = std::get_if<std::string>(&found->second);
  if (text == nullptr || text->empty()) return std::nullopt;
  return parsePlainDecimal(*text);
}

std::int64_t runningVersion() {
  static const std::int64_t running =
      buildVersion({{"CFBundleVersion", std::string(BRIMWELL_BUILD_VERSION)}}).value_or(version);
  return running;
}

double helperWorstCase(HelperCall call) {
  if (call == HelperCall::helperVersion) return 0;
  int largest = 0;
  for (HelperCall each : allHelperCalls) largest = std::max(largest, commandRuns(each));
  return (commandRuns(call) + largest) * worstCommandRun;
}

double clientTimeout(HelperCall call) {
  if (call == HelperCall::helperVersion) return 2;
  return helperWorstCase(call) + 5;
}

}  // namespace brimwell::BrimwellHelperConstants
