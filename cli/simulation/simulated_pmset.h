// SimulatedPmset: a CommandRunner that stands in for the power tool. It keeps Low Power Mode (per
// power source) and the battery hibernate mode in memory, answers the two listings in the tool's
// section format, and tells an observer every command line it ran. Single-threaded: the helper
// service calls it on the caller's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "helper/command_runner.h"

namespace brimwell::simulation {

class SimulatedPmset final : public CommandRunner {
 public:
  Expected<CommandOutput, CommandRunnerError> run(const std::string& executable,
                                                  const std::vector<std::string>& arguments,
                                                  double timeout, double stopGrace) override;

  // The listings the tool prints for "-g" and "-g custom".
  std::string settingsListing() const;
  std::string customListing() const;

  bool batteryLowPowerMode = false;
  bool acLowPowerMode = false;
  std::int64_t batteryHibernateMode = 3;
  std::int64_t acHibernateMode = 3;
  bool onBattery = false;  // which source's settings are in use
  int sleeps = 0;
  // Sees each command line, e.g. "pmset -b hibernatemode 25".
  std::function<void(const std::string&)> onCommand;
};

}  // namespace brimwell::simulation
