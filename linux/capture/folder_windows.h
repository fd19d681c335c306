// Every folder window of the desktop as records: those the file manager on the session bus lists,
// with the frames of its process's windows where their titles tell them, then those of other file
// managers whose titles name their folders. Pure function over values; any thread.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/capture/file_manager_source.h"
#include "linux/capture/folder_titles.h"

namespace brimwell {

// `listed` is what the bus answered (a failure: no file manager there to list any), `windows`
// the desktop's windows front to back, `home` the home the listing file manager titles "Home".
// The bus's file manager's own windows are never read by title.
std::vector<FinderWindowRecord> folderWindows(const Result<OpenFolderWindows>& listed,
                                              const std::vector<DesktopWindow>& windows,
                                              const std::string& home,
                                              const IsDirectory& isDirectory);

}  // namespace brimwell
