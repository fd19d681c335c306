// LinuxPowerMachine: the power tool's machine on Linux. The power source comes from sysfs, sleep
// from the login manager, and profiles from the power profiles service when it is on the system
// bus, else from the firmware's platform profile. One bus connection per tool run, opened on first
// use. Single-threaded.
#pragma once

#include <filesystem>
#include <optional>

#include "linux/sd_bus_ptr.h"
#include "power/power_machine.h"

namespace brimwell {

class LinuxPowerMachine : public PowerMachine {
 public:
  // `sysfsRoot` stands for /sys.
  explicit LinuxPowerMachine(std::filesystem::path sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  PowerSource powerSource() override;
  Result<std::optional<ProfileState>> profile() override;
  Status switchProfile(ProfileBackend backend, const std::string& name) override;
  Result<std::string> canSleep(SleepAction action) override;
  Status sleep(SleepAction action) override;

 private:
  Result<sd_bus*> bus();

  std::filesystem::path sysfsRoot_;
  std::optional<Result<SdBus>> bus_;
};

}  // namespace brimwell
