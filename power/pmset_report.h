// The texts the power tool prints for -g and -g custom: header lines ending in a colon, each
// followed by indented "key value" lines. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>

#include "power/power_settings.h"

namespace brimwell {

// What is in force now.
struct SettingsInUse {
  int hibernateMode = 0;             // of the source the machine draws from
  std::optional<bool> lowPowerMode;  // absent when the machine has no power profiles
  bool sleepDisabled = false;        // the sleep that mode asks for is impossible
};

// "Currently in use:" with hibernatemode, lowpowermode (when known) and SleepDisabled.
std::string settingsReport(const SettingsInUse& inUse);

// "Battery Power:" and "AC Power:" with each source's hibernatemode and, when
// `reportsLowPowerMode`, its lowpowermode.
std::string customReport(const PowerSettings& settings, bool reportsLowPowerMode);

}  // namespace brimwell
