// The terminal records of the X11 terminal emulators (xterm, GNOME Terminal, Konsole): each of
// their windows with the shells it runs as tabs. Pure; callable from any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/app_assembly.h"
#include "linux/capture/x11_desktop.h"

namespace brimwell {

// A shell (or other program) a terminal process runs directly.
struct ShellTab {
  std::optional<std::string> directory;  // its working directory
  std::string command;
  friend bool operator==(const ShellTab&, const ShellTab&) = default;
};

// One record for each of the three emulators, in that order: ok with a window for each of its X
// windows (front to back, bounds = frame), notRunning without any. A process with one window
// shows its shells as that window's tabs, titled by the window when there is one shell and by the
// shell's command otherwise; a process with several windows can't tell which shell is in which,
// so its frontmost window holds them all.
std::vector<TerminalRecord> emulatorTerminals(const X11Desktop& desktop,
                                              const std::map<int, ProcessIdentity>& identities,
                                              const std::map<int, std::vector<ShellTab>>& shells);

}  // namespace brimwell
