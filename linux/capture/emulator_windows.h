// A terminal emulator's own account of its windows (kitty's remote control, Konsole's bus
// interface): each window with its tabs, and which of the desktop's windows shows which, since
// its processes alone can't tell them apart. Pure; callable from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

struct EmulatorWindow {
  std::optional<std::uint64_t> platformWindowId;  // the X window id under X11
  std::string title;                              // its active tab's, as the desktop shows it
  std::vector<TerminalTabRecord> tabs;            // each with its shell's directory
  friend bool operator==(const EmulatorWindow&, const EmulatorWindow&) = default;
};

// Which of one emulator process's desktop windows (front to back) shows which of its windows:
// by the platform window id where the desktop's ids are X ids, then by a title only one of each
// has, then the rest in order. Gives each desktop window that was paired its tabs.
std::map<WindowId, std::vector<TerminalTabRecord>> tabsByWindow(
    const std::vector<DesktopWindow>& windows, const std::vector<EmulatorWindow>& emulated);

}  // namespace brimwell
