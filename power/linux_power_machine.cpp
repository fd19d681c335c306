#include "power/linux_power_machine.h"

#include <chrono>

#include "linux/logind_manager.h"
#include "linux/platform_profile.h"
#include "linux/power_profiles_daemon.h"
#include "linux/power_supply.h"
#include "linux/sysfs_battery_reading.h"
#include "linux/system_bus.h"

namespace brimwell {

PowerSource LinuxPowerMachine::powerSource() {
  // A machine without a readable system battery runs on its adapter.
  const auto reading = readingFromSysfs(readPowerSupplies(sysfsRoot_ / "class" / "power_supply"),
                                        std::chrono::system_clock::now());
  return reading ? reading->powerSource : PowerSource::ac;
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
