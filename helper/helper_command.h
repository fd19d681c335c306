// HelperCommand: the closed set of power-tool command lines the daemon may run, and the power
// tool's reading of them. A client can only pick one of these; the variable parts are a flag and a
// HibernateMode. Plain values and pure functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brimwell/core/base/error.h"
#include "helper/hibernate_mode.h"

namespace brimwell {

namespace helper_command {
struct SetAllLowPowerMode {
  bool on = false;
  friend bool operator==(const SetAllLowPowerMode&, const SetAllLowPowerMode&) = default;
};
struct SetBatteryLowPowerMode {
  bool on = false;
  friend bool operator==(const SetBatteryLowPowerMode&, const SetBatteryLowPowerMode&) = default;
};
struct SetBatteryHibernateMode {
  HibernateMode mode = HibernateMode::noImage;
  friend bool operator==(const SetBatteryHibernateMode&, const SetBatteryHibernateMode&) = default;
};
struct ReadSettings {
  friend bool operator==(const ReadSettings&, const ReadSettings&) = default;
};
struct ReadCustom {
  friend bool operator==(const ReadCustom&, const ReadCustom&) = default;
};
struct SleepNow {
  friend bool operator==(const SleepNow&, const SleepNow&) = default;
};
}  // namespace helper_command

using HelperCommand =
    std::variant<helper_command::SetAllLowPowerMode, helper_command::SetBatteryLowPowerMode,
                 helper_command::SetBatteryHibernateMode, helper_command::ReadSettings,
                 helper_command::ReadCustom, helper_command::SleepNow>;

// The power tool's location: the Linux power tool (brimwell-power), installed under this name.
inline constexpr std::string_view pmsetPath = "/usr/libexec/brimwell/pmset";

// The command's argument list, without the program.
std::vector<std::string> arguments(const HelperCommand& command);

// The command whose argument list is `arguments`, values matched exactly: the inverse of
// `arguments`. Any other command line fails with one sentence.
Result<HelperCommand> parseHelperCommand(const std::vector<std::string>& arguments);

}  // namespace brimwell
