#include "power/power_tool.h"

#include "helper/helper_command.h"

#include "power/pmset_report.h"
#include "power/power_settings_file.h"

namespace brimwell {
namespace {

using namespace helper_command;

class Run {
 public:
  Run(PowerMachine& machine, std::filesystem::path statePath)
      : machine_(machine), statePath_(std::move(statePath)) {}

  Result<std::string> operator()(const ReadSettings&) {
    const auto settings = loadPowerSettings(statePath_).of(machine_.powerSource());
    auto profile = machine_.profile();
    if (!profile) return Unexpected(std::move(profile).error());
    SettingsInUse inUse{.hibernateMode = settings.hibernateMode};
    if (*profile) inUse.lowPowerMode = isLowPower(**profile);
    // A login manager that can't be asked can't put the machine to sleep either.
    const auto can = machine_.canSleep(actionFor(settings));
    inUse.sleepDisabled = !can || !sleepAllowed(*can);
    return settingsReport(inUse);
  }

  Result<std::string> operator()(const ReadCustom&) {
    // The hibernate modes this report carries must not depend on the profiles: a profile that
    // can't be read only leaves Low Power Mode out.
    const auto profile = machine_.profile();
    return customReport(loadPowerSettings(statePath_), profile && profile->has_value());
  }

  Result<std::string> operator()(const SetBatteryHibernateMode& request) {
    PowerSettings settings = loadPowerSettings(statePath_);
    settings.battery.hibernateMode = static_cast<int>(rawValue(request.mode));
    if (auto saved = savePowerSettings(statePath_, settings); !saved) {
      return Unexpected(std::move(saved).error());
    }
    return std::string();
  }

  Result<std::string> operator()(const SetAllLowPowerMode& request) {
    return setLowPowerMode(request.on, true);
  }
  Result<std::string> operator()(const SetBatteryLowPowerMode& request) {
    return setLowPowerMode(request.on, false);
  }

  Result<std::string> operator()(const SleepNow&) {
    const SleepAction action = actionFor(loadPowerSettings(statePath_).of(machine_.powerSource()));
    auto can = machine_.canSleep(action);
    if (!can) return Unexpected(std::move(can).error());
    if (!sleepAllowed(*can)) {
      return fail("The login manager says this machine can't " + std::string(sleepVerb(action)) +
                  " (Can" + std::string(logindMethod(action)) + " answers " + *can + ").");
    }
    if (auto slept = machine_.sleep(action); !slept) return Unexpected(std::move(slept).error());
    return std::string();
  }

 private:
  // On battery, and with `allSources` on the adapter too.
  Result<std::string> setLowPowerMode(bool on, bool allSources) {
    auto profile = machine_.profile();
    if (!profile) return Unexpected(std::move(profile).error());
    if (!*profile) {
      return fail("This machine has no power profiles, so Low Power Mode can't be changed.");
    }
    PowerSettings settings = loadPowerSettings(statePath_);
    settings.battery.lowPowerMode = on;
    if (allSources) settings.ac.lowPowerMode = on;
    if (auto saved = savePowerSettings(statePath_, settings); !saved) {
      return Unexpected(std::move(saved).error());
    }
    const bool wanted = settings.of(machine_.powerSource()).lowPowerMode;
    if (auto name = profileFor(**profile, wanted)) {
      if (auto switched = machine_.switchProfile((*profile)->backend, *name); !switched) {
        return Unexpected(std::move(switched).error());
      }
    }
    return std::string();
  }

  // Stored modes are always 0, 3 or 25: the state file's reader rejects any other.
  static SleepAction actionFor(const SourceSettings& settings) {
    return sleepActionFor(settings.hibernateMode).value_or(SleepAction::suspend);
  }

  PowerMachine& machine_;
  std::filesystem::path statePath_;
};

}  // namespace

ToolOutcome runPowerTool(const std::vector<std::string>& arguments, PowerMachine& machine,
                         const std::filesystem::path& statePath) {
  auto request = parseHelperCommand(arguments);
  auto output = request ? std::visit(Run(machine, statePath), *request)
                        : Result<std::string>(Unexpected(std::move(request).error()));
  if (!output) return {1, "", output.error().message() + "\n"};
  return {0, *output, ""};
}

}  // namespace brimwell
