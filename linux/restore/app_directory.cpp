#include "linux/restore/app_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "linux/capture/app_identity.h"
#include "linux/capture/desktop_entry.h"
#include "linux/restore/exec_line.h"

namespace brimwell {
namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::filesystem::path homeDirectory() {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

}  // namespace

XdgAppDirectory::XdgAppDirectory(std::vector<std::filesystem::path> applicationDirs)
    : dirs_(applicationDirs), catalog_(std::move(applicationDirs)) {}

XdgAppDirectory XdgAppDirectory::forEnvironment() {
  return XdgAppDirectory(xdgApplicationDirs(environmentValue("XDG_DATA_HOME"),
                                            environmentValue("XDG_DATA_DIRS"), homeDirectory()));
}

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
