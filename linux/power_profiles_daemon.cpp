#include "linux/power_profiles_daemon.h"

#include <cstdlib>

#include "linux/system_bus.h"

namespace brimwell {
namespace {

constexpr const char* kProfilesService = "net.hadess.PowerProfiles";
constexpr const char* kProfilesPath = "/net/hadess/PowerProfiles";
constexpr const char* kProfilesInterface = "net.hadess.PowerProfiles";

}  // namespace

Result<std::optional<std::string>> activePowerProfile(sd_bus* bus) {
  SdBusError error;
  char* raw = nullptr;
  const int result = sd_bus_get_property_string(
      bus, kProfilesService, kProfilesPath, kProfilesInterface, "ActiveProfile", error.get(), &raw);
  std::unique_ptr<char, decltype(&std::free)> profile(raw, &std::free);
  if (result < 0) {
    if (sd_bus_error_has_names(error.get(), SD_BUS_ERROR_SERVICE_UNKNOWN,
                               SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
      return std::optional<std::string>();
    }
    return fail("The power profiles service couldn't be read (" + busFailure(error, result) + ").");
  }
  return std::optional<std::string>(profile.get());
}

Status setActivePowerProfile(sd_bus* bus, const std::string& profile) {
  SdBusError error;
  const int result = sd_bus_set_property(bus, kProfilesService, kProfilesPath, kProfilesInterface,
                                         "ActiveProfile", error.get(), "s", profile.c_str());
  if (result < 0) {
    return fail("The power profiles service didn't switch to " + profile + " (" +
                busFailure(error, result) + ").");
  }
  return {};
}

}  // namespace brimwell
