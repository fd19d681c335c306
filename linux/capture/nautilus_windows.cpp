#include "linux/capture/nautilus_windows.h"

#include <algorithm>
#include <map>
#include <optional>

#include "linux/capture/folder_locations.h"

namespace brimwell {

std::string nautilusTitle(const std::string& folder, const std::string& home) {
  if (folder == home) return "Home";
  if (folder == "/") return "/";
  return folder.substr(folder.find_last_of('/') + 1);
}

std::vector<FinderWindowRecord> nautilusFolderWindows(const std::vector<FileManagerWindow>& listed,
                                                      const std::vector<DesktopWindow>& windows,
                                                      const std::string& home) {
  std::vector<std::string> folders;
  for (const auto& window : listed) {
    if (window.locations.empty()) continue;
    if (auto folder = folderOfLocation(window.locations.front())) folders.push_back(*folder);
  }
  std::map<std::string, int> wanted;  // how many listed folders each title stands for
  for (const auto& folder : folders) ++wanted[nautilusTitle(folder, home)];
  std::vector<FinderWindowRecord> records;
  for (const auto& folder : folders) {
    FinderWindowRecord record{.path = folder};
    const std::string title = nautilusTitle(folder, home);
    const auto titled = [&](const DesktopWindow& w) { return w.title == title; };
    if (wanted[title] == 1 && std::count_if(windows.begin(), windows.end(), titled) == 1) {
      record.bounds = std::find_if(windows.begin(), windows.end(), titled)->frame;
    }
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace brimwell
