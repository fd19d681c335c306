#include "linux/restore/app_directory.h"

#include <fstream>
#include <iterator>

#include "linux/capture/app_identity.h"
#include "linux/capture/desktop_entry.h"
#include "linux/restore/exec_line.h"

namespace brimwell {

XdgAppDirectory::XdgAppDirectory(std::vector<std::filesystem::path> applicationDirs)
    : dirs_(applicationDirs), catalog_(std::move(applicationDirs)) {}

XdgAppDirectory XdgAppDirectory::forEnvironment() { return XdgAppDirectory(xdgApplicationDirs()); }

std::optional<std::filesystem::path> XdgAppDirectory::fileOf(const std::string& desktopID) const {
  for (const auto& dir : dirs_) {
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(dir, error), end;
    for (; !error && it != end; it.increment(error)) {
      if (it->path().extension() == ".desktop" && desktopFileID(dir, it->path()) == desktopID) {
        return it->path();
      }
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> XdgAppDirectory::execFor(std::string_view bundleID) {
  if (const auto known = found_.find(bundleID); known != found_.end()) return known->second;
  std::optional<std::vector<std::string>> words;
  for (const auto& entry : catalog_.entries()) {
    if (bundleIDForDesktopID(entry.id) != bundleID) continue;
    const auto file = fileOf(entry.id);
    if (!file) continue;
    std::ifstream in(*file, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    if (const auto exec = desktopExecValue(text)) {
      if (auto split = execWords(*exec)) words = std::move(*split);
    }
    break;
  }
  found_.emplace(std::string(bundleID), words);
  return words;
}

}  // namespace brimwell
