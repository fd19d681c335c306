// The windows a desktop's window manager manages, as plain values, whichever backend read them:
// X11 through EWMH, sway through its IPC socket, KWin and GNOME Shell through their scripting
// interfaces. Filled by a WindowSource; read by the pure assembly of application records, the
// save pass and the restore.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

// A window as its backend names it: an X window id, a sway container id, a KWin or GNOME Shell
// window id, each in the backend's own text. Only the backend that gave it reads it.
using WindowId = std::string;

struct DesktopWindow {
  WindowId id;
  std::optional<int> pid;   // absent when the backend doesn't know the window's process
  std::string appInstance;  // X11: WM_CLASS's instance; Wayland: the app id
  std::string appClass;     // X11: WM_CLASS's class; Wayland: the app id
  std::string title;
  std::optional<Rect> frame;  // in the desktop's coordinates, decorations included
  bool hidden = false;        // minimised, or otherwise not shown (sway's scratchpad)
  bool fullScreen = false;
  std::string workspace;  // the workspace or virtual desktop's name, empty when unknown
  friend bool operator==(const DesktopWindow&, const DesktopWindow&) = default;
};

struct Desktop {
  std::vector<DesktopWindow> windows;  // front to back
  std::optional<WindowId> active;
};

}  // namespace brimwell
