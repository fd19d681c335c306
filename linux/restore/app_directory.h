// AppDirectory: the Exec line of the application a snapshot's bundle ID names, from the desktop
// files installed in the XDG data directories (a user's own file before a system one). Tests give
// fixed answers. One thread at a time.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "linux/capture/desktop_catalog.h"

namespace brimwell {

class AppDirectory {
 public:
  virtual ~AppDirectory() = default;
  // The words of the Exec line of the application whose bundle ID is `bundleID` (the
  // desktop-file ID itself, or a browser's or terminal's ID), or nothing when no desktop file is
  // known for it or its Exec line can't be read.
  virtual std::optional<std::vector<std::string>> execFor(std::string_view bundleID) = 0;
};

class XdgAppDirectory final : public AppDirectory {
 public:
  explicit XdgAppDirectory(std::vector<std::filesystem::path> applicationDirs);
  // The directory of this process's XDG environment.
  static XdgAppDirectory forEnvironment();
  std::optional<std::vector<std::string>> execFor(std::string_view bundleID) override;

 private:
  FileDesktopCatalog catalog_;
};

}  // namespace brimwell
