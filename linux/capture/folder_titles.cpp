#include "linux/capture/folder_titles.h"

#include <algorithm>
#include <array>

namespace brimwell {

bool isTitledFileManager(std::string_view appClass) {
  static constexpr std::array<std::string_view, 10> kClasses = {
      "Thunar",  "thunar",          "Nemo",    "nemo",   "Caja", "caja",
      "dolphin", "org.kde.dolphin", "Pcmanfm", "pcmanfm"};
  return std::find(kClasses.begin(), kClasses.end(), appClass) != kClasses.end();
}

std::optional<std::string> folderInTitle(std::string_view title, const IsDirectory& isDirectory) {
  std::vector<std::size_t> ends = {title.size()};
  for (const std::string_view separator : {" - ", " \u2014 "}) {
    for (auto at = title.find(separator); at != std::string_view::npos;
         at = title.find(separator, at + 1)) {
      ends.push_back(at);
    }
  }
  std::sort(ends.begin(), ends.end(), std::greater<>());
  for (const auto end : ends) {
    std::string candidate(title.substr(0, end));
    while (candidate.size() > 1 && candidate.back() == '/') candidate.pop_back();
    if (candidate.empty() || candidate.front() != '/') continue;
    if (candidate.find('\0') != std::string::npos) continue;
    if (isDirectory(candidate)) return candidate;
  }
  return std::nullopt;
}

bool titleNamesFolder(std::string_view title, std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  if (folder.empty() || folder.front() != '/') return false;
  const auto slash = folder.rfind('/');
  const std::string_view name = folder.size() == 1 ? folder : folder.substr(slash + 1);
  for (const std::string_view shown : {name, folder}) {
    if (!title.starts_with(shown)) continue;
    const auto rest = title.substr(shown.size());
    if (rest.empty() || rest.starts_with(" - ") || rest.starts_with(" \u2014 ")) return true;
  }
  return false;
}

std::vector<FinderWindowRecord> titledFolderWindows(const Desktop& desktop,
                                                    const IsDirectory& isDirectory) {
  std::vector<FinderWindowRecord> records;
  for (const auto& window : desktop.windows) {
    if (!isTitledFileManager(window.appClass)) continue;
    if (auto folder = folderInTitle(window.title, isDirectory)) {
      records.push_back({.path = std::move(*folder), .bounds = window.frame});
    }
  }
  return records;
}

}  // namespace brimwell
