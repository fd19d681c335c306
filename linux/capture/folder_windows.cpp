#include "linux/capture/folder_windows.h"

#include <algorithm>
#include <iterator>

namespace brimwell {

std::vector<FinderWindowRecord> folderWindows(const Result<OpenFolderWindows>& listed,
                                              const std::vector<DesktopWindow>& windows,
                                              const std::string& home,
                                              const IsDirectory& isDirectory) {
  std::vector<FinderWindowRecord> records;
  const std::optional<int> owner = listed ? listed->pid : std::nullopt;
  const auto owners = [&](const DesktopWindow& w) { return owner && w.pid == owner; };
  if (listed) {
    std::vector<DesktopWindow> its;
    std::copy_if(windows.begin(), windows.end(), std::back_inserter(its), owners);
    records = nautilusFolderWindows(listed->windows, its, home);
  }
  Desktop others;
  std::copy_if(windows.begin(), windows.end(), std::back_inserter(others.windows),
               [&](const DesktopWindow& w) { return !owners(w); });
  const auto titled = titledFolderWindows(others, isDirectory);
  records.insert(records.end(), titled.begin(), titled.end());
  return records;
}

}  // namespace brimwell
