// brimwell-power, installed as the helper daemon's power tool: answers the daemon's six command
// lines on Linux. BRIMWELL_SYSFS_ROOT and BRIMWELL_POWER_STATE move sysfs and the state file for
// tests; the daemon runs the tool with PATH and LANG only, so production never sees them.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "power/linux_power_machine.h"
#include "power/power_settings_file.h"
#include "power/power_tool.h"

namespace {

std::string fromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  brimwell::LinuxPowerMachine machine(fromEnvironment("BRIMWELL_SYSFS_ROOT", "/sys"));
  const auto outcome = brimwell::runPowerTool(
      arguments, machine, fromEnvironment("BRIMWELL_POWER_STATE", brimwell::powerSettingsPath));
  std::fwrite(outcome.standardOutput.data(), 1, outcome.standardOutput.size(), stdout);
  std::fwrite(outcome.standardError.data(), 1, outcome.standardError.size(), stderr);
  return std::fflush(stdout) == 0 ? outcome.status : 1;
}
