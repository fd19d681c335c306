// PowerMachine: what the power tool reads from the machine and changes on it, behind one narrow
// interface so the tool's decisions can be run against any machine. Failures are one sentence.
#pragma once

#include <optional>
#include <string>

#include "brimwell/core/base/error.h"
#include "brimwell/core/power/power_source.h"
#include "power/low_power_profile.h"
#include "power/sleep_action.h"

namespace brimwell {

class PowerMachine {
 public:
  virtual ~PowerMachine() = default;

  // The source the machine draws from now.
  virtual PowerSource powerSource() = 0;
  // The power profile in force; absent when the machine has no way to switch profiles.
  virtual Result<std::optional<ProfileState>> profile() = 0;
  virtual Status switchProfile(ProfileBackend backend, const std::string& name) = 0;
  // The login manager's answer to whether `action` can be done: "yes", "no", "na" or "challenge".
  virtual Result<std::string> canSleep(SleepAction action) = 0;
  virtual Status sleep(SleepAction action) = 0;
};

}  // namespace brimwell
