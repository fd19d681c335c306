#include "linux/restore/app_directory.h"

#include "linux/capture/app_identity.h"

namespace brimwell {

XdgAppDirectory::XdgAppDirectory(std::vector<std::filesystem::path> applicationDirs)
    : catalog_(std::move(applicationDirs)) {}

XdgAppDirectory XdgAppDirectory::forEnvironment() { return XdgAppDirectory(xdgApplicationDirs()); }

std::optional<std::vector<std::string>> XdgAppDirectory::execFor(std::string_view bundleID) {
  for (const auto& entry : catalog_.entries()) {
    if (bundleIDForDesktopID(entry.id) == bundleID) return entry.exec;
  }
  return std::nullopt;
}

}  // namespace brimwell
