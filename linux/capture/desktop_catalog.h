// DesktopCatalog: the applications' desktop entries installed in the XDG data directories, in
// precedence order (a user's own entry hides a system one of the same ID). The file catalog reads
// the directories once, on first use; tests give fixed entries.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "linux/capture/desktop_entry.h"

namespace brimwell {

class DesktopCatalog {
 public:
  virtual ~DesktopCatalog() = default;
  virtual const std::vector<DesktopEntry>& entries() = 0;
  // The entry of the desktop file at `path` (as GIO_LAUNCHED_DESKTOP_FILE names it), or nothing
  // when it can't be read or isn't an application's.
  virtual std::optional<DesktopEntry> entryAt(const std::filesystem::path& path) = 0;
};

// The "applications" folders of $XDG_DATA_HOME (default ~/.local/share) and $XDG_DATA_DIRS
// (default /usr/local/share:/usr/share), in that order, given the two values (empty when unset)
// and the home directory. Pure.
std::vector<std::filesystem::path> xdgApplicationDirs(const std::string& dataHome,
                                                      const std::string& dataDirs,
                                                      const std::filesystem::path& home);

// The same folders for this process's environment and home directory.
std::vector<std::filesystem::path> xdgApplicationDirs();

class FileDesktopCatalog final : public DesktopCatalog {
 public:
  explicit FileDesktopCatalog(std::vector<std::filesystem::path> applicationDirs)
      : dirs_(std::move(applicationDirs)) {}
  // The catalog of this process's XDG directories.
  static FileDesktopCatalog forEnvironment();
  const std::vector<DesktopEntry>& entries() override;
  std::optional<DesktopEntry> entryAt(const std::filesystem::path& path) override;

 private:
  std::vector<std::filesystem::path> dirs_;
  std::optional<std::vector<DesktopEntry>> entries_;
};

}  // namespace brimwell
