// The firmware's platform profile under sysfs (firmware/acpi/platform_profile and its
// platform_profile_choices). Plain file reads and writes; any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct PlatformProfile {
  std::string active;
  std::vector<std::string> choices;
  friend bool operator==(const PlatformProfile&, const PlatformProfile&) = default;
};

// The profile under `sysfsRoot` (standing for /sys); absent when either file is missing or
// unreadable.
std::optional<PlatformProfile> readPlatformProfile(const std::filesystem::path& sysfsRoot);

// Writes `name` into the profile file; one sentence on failure.
Status writePlatformProfile(const std::filesystem::path& sysfsRoot, const std::string& name);

}  // namespace brimwell
