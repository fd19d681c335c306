#include "linux/capture/desktop_catalog.h"

#include <cstdlib>
#include <set>
#include <system_error>

#include "brimwell/core/storage/read_file.h"
#include "linux/user_home.h"

namespace brimwell {
namespace {

std::string environmentText(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string{} : std::string(value);
}

}  // namespace

std::vector<std::filesystem::path> xdgApplicationDirs(const std::string& dataHome,
                                                      const std::string& dataDirs,
                                                      const std::filesystem::path& home) {
  std::vector<std::filesystem::path> dirs;
  // Relative paths are invalid in these variables and are ignored.
  const std::filesystem::path userData =
      dataHome.starts_with('/') ? std::filesystem::path(dataHome) : home / ".local/share";
  dirs.push_back(userData / "applications");
  const std::string systemData = dataDirs.empty() ? "/usr/local/share:/usr/share" : dataDirs;
  for (std::size_t start = 0; start <= systemData.size();) {
    const auto colon = std::min(systemData.find(':', start), systemData.size());
    const auto dir = systemData.substr(start, colon - start);
    if (dir.starts_with('/')) dirs.push_back(std::filesystem::path(dir) / "applications");
    start = colon + 1;
  }
  return dirs;
}

std::vector<std::filesystem::path> xdgApplicationDirs() {
  return xdgApplicationDirs(environmentText("XDG_DATA_HOME"), environmentText("XDG_DATA_DIRS"),
                            currentUserHome().value_or("/"));
}

FileDesktopCatalog FileDesktopCatalog::forEnvironment() {
  return FileDesktopCatalog(xdgApplicationDirs());
}

const std::vector<DesktopEntry>& FileDesktopCatalog::entries() {
  if (entries_) return *entries_;
  entries_.emplace();
  std::set<std::string> seen;
  for (const auto& dir : dirs_) {
    std::error_code error;
    std::filesystem::recursive_directory_iterator files(dir, error);
    for (auto it = files; !error && it != std::filesystem::recursive_directory_iterator();
         it.increment(error)) {
      if (it->path().extension() != ".desktop") continue;
      auto id = desktopFileID(dir, it->path());
      if (!seen.insert(id).second) continue;  // hidden by a directory of higher precedence
      const auto text = readFileIfReadable(it->path());
      if (!text) continue;
      if (auto entry = parseDesktopEntry(std::move(id), *text)) {
        entries_->push_back(std::move(*entry));
      }
    }
  }
  return *entries_;
}

std::optional<DesktopEntry> FileDesktopCatalog::entryAt(const std::filesystem::path& path) {
  const auto text = readFileIfReadable(path);
  if (!text) return std::nullopt;
  for (const auto& dir : dirs_) {
    const auto relative = path.lexically_relative(dir);
    if (!relative.empty() && *relative.begin() != "..") {
      return parseDesktopEntry(desktopFileID(dir, path), *text);
    }
  }
  return parseDesktopEntry(desktopFileID(path.parent_path(), path), *text);
}

}  // namespace brimwell
