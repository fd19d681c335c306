// The application records of a capture, made from the managed windows and what is known of each
// window's process: one application per process, ordered by its frontmost window, its windows
// front to back. Pure functions over values; callable from any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// What the capturer found out about one process.
struct ProcessIdentity {
  std::string path;                     // its executable
  std::optional<std::string> bundleID;  // from its desktop file, absent without one
  std::string name;                     // the desktop file's Name, else the executable's name
  std::vector<std::string> openFiles;   // absolute paths of the regular files it holds open
  friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

// The applications owning `desktop`'s windows, given the identities of their processes by pid.
// A window without a pid, or whose pid has no identity, belongs to an application named after its
// window class. An application is frontmost when it owns the active window and hidden when every
// window of it is hidden.
std::vector<AppRecord> assembleApps(const Desktop& desktop,
                                    const std::map<int, ProcessIdentity>& identities);

// The file URL of the open file the title names: of the files whose name stands in `title` as a
// whole word (not part of a longer name), the one with the longest name, the first of equals.
// Nothing when the title names none of them.
std::optional<std::string> documentURLFor(std::string_view title,
                                          const std::vector<std::string>& openFiles);

// "file://" and the absolute `path`, every byte outside the unreserved characters and "/"
// percent-escaped.
std::string fileURL(std::string_view path);

}  // namespace brimwell
