#include "power/low_power_profile.h"

#include <algorithm>

namespace brimwell {

std::string_view lowPowerProfile(ProfileBackend backend) {
  return backend == ProfileBackend::powerProfilesDaemon ? "power-saver" : "low-power";
}

std::string_view balancedProfile(ProfileBackend) { return "balanced"; }

bool offersLowPowerMode(ProfileBackend backend, const std::vector<std::string>& choices) {
  const auto offers = [&](std::string_view name) {
    return std::find(choices.begin(), choices.end(), name) != choices.end();
  };
  return offers(lowPowerProfile(backend)) && offers(balancedProfile(backend));
}

bool isLowPower(const ProfileState& state) {
  return state.active == lowPowerProfile(state.backend);
}

std::optional<std::string> profileFor(const ProfileState& state, bool on) {
  if (isLowPower(state) == on) return std::nullopt;
  return std::string(on ? lowPowerProfile(state.backend) : balancedProfile(state.backend));
}

}  // namespace brimwell
