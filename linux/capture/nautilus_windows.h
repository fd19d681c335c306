// Nautilus's folder windows as records: the windows its FileManager1 interface lists, each with
// its locations, matched to the desktop's windows of the Nautilus process by title for their
// frames. Pure functions over values; any thread.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// One window as OpenWindowsWithLocations lists it: its object path and its tabs' locations, the
// shown one first.
struct FileManagerWindow {
  std::string object;
  std::vector<std::string> locations;
  friend bool operator==(const FileManagerWindow&, const FileManagerWindow&) = default;
};

// The title Nautilus gives a window showing `folder`: "Home" for `home`, "/" for the root, else
// the folder's name.
std::string nautilusTitle(const std::string& folder, const std::string& home);

// A record for every listed window whose shown location is a local folder (the others are left
// out), in the order listed. A record has the frame of the one window among `windows` (those of
// the Nautilus process) titled as its folder, when exactly one window has that title and no other
// listed folder would be titled so; otherwise none.
std::vector<FinderWindowRecord> nautilusFolderWindows(const std::vector<FileManagerWindow>& listed,
                                                      const std::vector<DesktopWindow>& windows,
                                                      const std::string& home);

}  // namespace brimwell
