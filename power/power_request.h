// PowerRequest: the six command lines the power tool answers, and the parser that accepts exactly
// those. Plain values and a pure function; any thread.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "core/base/error.h"

namespace brimwell {

namespace power_request {
// -a lowpowermode 0|1 (allSources) or -b lowpowermode 0|1.
struct SetLowPowerMode {
  bool allSources = false;
  bool on = false;
  friend bool operator==(const SetLowPowerMode&, const SetLowPowerMode&) = default;
};
// -b hibernatemode 0|3|25.
struct SetBatteryHibernateMode {
  int mode = 0;
  friend bool operator==(const SetBatteryHibernateMode&, const SetBatteryHibernateMode&) = default;
};
// -g
struct ReadSettings {
  friend bool operator==(const ReadSettings&, const ReadSettings&) = default;
};
// -g custom
struct ReadCustom {
  friend bool operator==(const ReadCustom&, const ReadCustom&) = default;
};
// sleepnow
struct SleepNow {
  friend bool operator==(const SleepNow&, const SleepNow&) = default;
};
}  // namespace power_request

using PowerRequest =
    std::variant<power_request::SetLowPowerMode, power_request::SetBatteryHibernateMode,
                 power_request::ReadSettings, power_request::ReadCustom, power_request::SleepNow>;

// The request `arguments` (without the program name) spell, value texts matched exactly; any
// other command line fails with one sentence.
Result<PowerRequest> parsePowerRequest(const std::vector<std::string>& arguments);

}  // namespace brimwell
