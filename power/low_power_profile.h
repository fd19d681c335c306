// ProfileState: the power profile in force and which mechanism holds it, and the decision of which
// profile turns Low Power Mode on or off. Low Power Mode is the power-saver profile. Plain values
// and pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brimwell {

enum class ProfileBackend { powerProfilesDaemon, platformProfile };

struct ProfileState {
  ProfileBackend backend = ProfileBackend::powerProfilesDaemon;
  std::string active;  // the profile's name as the backend spells it
  friend bool operator==(const ProfileState&, const ProfileState&) = default;
};

// The backend's name for the power-saver profile: power-saver or low-power.
std::string_view lowPowerProfile(ProfileBackend backend);
// The profile that ends Low Power Mode: balanced, for both backends.
std::string_view balancedProfile(ProfileBackend backend);

// Whether a backend offering `choices` can turn Low Power Mode both on and off.
bool offersLowPowerMode(ProfileBackend backend, const std::vector<std::string>& choices);

// Whether Low Power Mode is in force.
bool isLowPower(const ProfileState& state);

// The profile to switch to so that Low Power Mode is `on`; absent when it already is (a profile
// other than the power-saver one counts as off and is left alone when off is wanted).
std::optional<std::string> profileFor(const ProfileState& state, bool on);

}  // namespace brimwell
