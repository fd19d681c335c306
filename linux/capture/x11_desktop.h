// X11Desktop: what the window manager publishes about the managed windows, front to back, as
// plain values. Filled by a WindowSource; read by the pure assembly of application records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

struct X11Window {
  std::uint32_t id = 0;
  std::optional<int> pid;  // _NET_WM_PID, absent when the client doesn't set it
  std::string wmInstance;  // the two halves of WM_CLASS
  std::string wmClass;
  std::string title;          // _NET_WM_NAME, else WM_NAME
  std::optional<Rect> frame;  // in root coordinates, the window manager's frame included
  bool hidden = false;        // _NET_WM_STATE_HIDDEN: minimised or otherwise not shown
  bool fullScreen = false;    // _NET_WM_STATE_FULLSCREEN
  friend bool operator==(const X11Window&, const X11Window&) = default;
};

struct X11Desktop {
  std::vector<X11Window> windows;  // front to back (the stacking order reversed)
  std::optional<std::uint32_t> active;
};

}  // namespace brimwell
