#include "power/linux_power_machine.h"

#include <vector>

#include "linux/logind_manager.h"
#include "linux/platform_profile.h"
#include "linux/power_profiles_daemon.h"
#include "linux/power_supply.h"
#include "linux/system_bus.h"

namespace brimwell {

namespace {

// On the adapter when any Mains or USB supply is online. A machine that lists no such supply is on
// battery exactly while a battery says Discharging. The charge itself is never needed, so a battery
// whose charge can't be read still counts.
PowerSource powerSourceOf(const std::vector<PowerSupply>& supplies) {
  bool listsAdapter = false;
  for (const auto& supply : supplies) {
    const auto type = supply.text("type");
    if (type != "Mains" && type != "USB") continue;
    listsAdapter = true;
    if (supply.number("online").value_or(0) > 0) return PowerSource::ac;
  }
  if (listsAdapter) return PowerSource::battery;
  for (const auto& supply : supplies) {
    if (supply.text("type") == "Battery" && supply.text("status") == "Discharging") {
      return PowerSource::battery;
    }
  }
  return PowerSource::ac;
}

}  // namespace

PowerSource LinuxPowerMachine::powerSource() {
  return powerSourceOf(readPowerSupplies(sysfsRoot_ / "class" / "power_supply"));
}

Result<std::optional<ProfileState>> LinuxPowerMachine::profile() {
  if (auto connection = bus()) {
    auto active = activePowerProfile(*connection);
    if (!active) return Unexpected(std::move(active).error());
    if (*active) return std::optional(ProfileState{ProfileBackend::powerProfilesDaemon, **active});
  }
  const auto platform = readPlatformProfile(sysfsRoot_);
  if (!platform || !offersLowPowerMode(ProfileBackend::platformProfile, platform->choices)) {
    return std::optional<ProfileState>();
  }
  return std::optional(ProfileState{ProfileBackend::platformProfile, platform->active});
}

Status LinuxPowerMachine::switchProfile(ProfileBackend backend, const std::string& name) {
  if (backend == ProfileBackend::platformProfile) return writePlatformProfile(sysfsRoot_, name);
  auto connection = bus();
  if (!connection) return Unexpected(std::move(connection).error());
  return setActivePowerProfile(*connection, name);
}

Result<std::string> LinuxPowerMachine::canSleep(SleepAction action) {
  auto connection = bus();
  if (!connection) return Unexpected(std::move(connection).error());
  return logindCan(*connection, logindMethod(action));
}

Status LinuxPowerMachine::sleep(SleepAction action) {
  auto connection = bus();
  if (!connection) return Unexpected(std::move(connection).error());
  return logindSleep(*connection, logindMethod(action));
}

Result<sd_bus*> LinuxPowerMachine::bus() {
  if (!bus_) bus_ = openSystemBus();
  if (!*bus_) return Unexpected(bus_->error());
  return (*bus_)->get();
}

}  // namespace brimwell
