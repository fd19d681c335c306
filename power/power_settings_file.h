// The power tool's state file: its PowerSettings, replaced atomically on every change. Callers
// serialise access (the daemon runs one tool at a time).
#pragma once

#include <filesystem>

#include "brimwell/core/base/error.h"
#include "power/power_settings.h"

namespace brimwell {

// The production location of the state file.
inline constexpr const char* powerSettingsPath = "/var/lib/brimwell/power-settings.json";

// The settings in `path`; the defaults when the file is missing, unreadable or not valid (the
// next change then replaces it).
PowerSettings loadPowerSettings(const std::filesystem::path& path);

// Replaces `path` with `settings`, creating its directory; fails with one sentence.
Status savePowerSettings(const std::filesystem::path& path, const PowerSettings& settings);

}  // namespace brimwell
