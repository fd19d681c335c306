// The folder a file manager's window title names, for the file managers that can be set to show
// the full path in the title (Thunar, Nemo, Caja, Dolphin, PCManFM): an absolute path of an
// existing directory, alone or followed by the program's name (" - Thunar", " — Dolphin"). A title
// that is only a folder's name says too little to tell which folder it is, and names none.
// Pure functions over values; any thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

using IsDirectory = std::function<bool(const std::string&)>;

// Whether windows of class `appClass` (X11 WM_CLASS class or Wayland app id) are a file
// manager's whose titles folderInTitle reads.
bool isTitledFileManager(std::string_view appClass);

// The folder `title` names: the whole title, else the longest part before a " - " or " — "
// separator, that is an absolute path `isDirectory` accepts.
std::optional<std::string> folderInTitle(std::string_view title, const IsDirectory& isDirectory);

// Whether `title` is what a file manager titles a window of `folder` (an absolute path): its
// name (or, for "/", the path), or its path, alone or before a " - " or " — " separator.
bool titleNamesFolder(std::string_view title, std::string_view folder);

// A record, with the window's frame, for every window of `desktop` (front to back) of a titled
// file manager whose title names a folder.
std::vector<FinderWindowRecord> titledFolderWindows(const Desktop& desktop,
                                                    const IsDirectory& isDirectory);

}  // namespace brimwell
