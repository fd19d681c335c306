// XdgLocations: where the Linux application keeps its files, by the desktop's base-directory
// conventions: state in $XDG_STATE_HOME/brimwell (~/.local/state/brimwell), rescued documents in
// the user's documents folder as xdg-user-dirs names it (~/Documents) under "Brimwell Rescued",
// and the settings in $XDG_CONFIG_HOME/brimwell/settings.json (~/.config). A relative value of
// either variable is ignored, as the conventions ask. Pure functions but `resolve`; any thread.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"
#include "brimwell/core/storage/brimwell_paths.h"

namespace brimwell {

struct XdgLocations {
  BrimwellPaths paths;
  std::filesystem::path settingsFile;

  // The locations for `home`, the variables in `environment` and the text of the user's
  // user-dirs.dirs file (empty when there is none).
  static XdgLocations under(const std::filesystem::path& home,
                            const std::map<std::string, std::string>& environment,
                            std::string_view userDirs);

  // The locations of the current user, whose home is the environment's HOME when absolute, else
  // the password database's; reads user-dirs.dirs from the configuration directory.
  static Result<XdgLocations> resolve(const std::map<std::string, std::string>& environment);

  // HOME, XDG_STATE_HOME and XDG_CONFIG_HOME as this process sees them.
  static std::map<std::string, std::string> processEnvironment();

  friend bool operator==(const XdgLocations&, const XdgLocations&) = default;
};

// The configuration folder: $XDG_CONFIG_HOME in `environment` when absolute, else ~/.config.
std::filesystem::path configHome(const std::filesystem::path& home,
                                 const std::map<std::string, std::string>& environment);

// The current user's, with this process's home and environment.
std::optional<std::filesystem::path> currentUserConfigHome();

// The documents folder that a user-dirs.dirs text names (its last valid XDG_DOCUMENTS_DIR line,
// "$HOME/..." or an absolute path), or absent.
std::optional<std::filesystem::path> documentsDirectory(std::string_view userDirs,
                                                        const std::filesystem::path& home);

}  // namespace brimwell
