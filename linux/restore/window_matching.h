// Which of an application's windows now stands for which recorded window, and the geometry that
// puts a window's frame back where it was recorded. Pure functions over values; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// For each recorded window (by position in `recorded`), the id of the current window that takes
// its place, or nothing. Recorded windows are taken in `order`; each first takes an unclaimed
// current window with exactly its title (the frontmost of several), then those still without one
// take the remaining current windows front to back. No current window is used twice.
std::vector<std::optional<WindowId>> matchWindows(const std::vector<WindowRecord>& recorded,
                                                  const std::vector<DesktopWindow>& current);

// The space the window manager's frame takes on each side of a window (_NET_FRAME_EXTENTS).
struct FrameExtents {
  std::uint32_t left = 0, right = 0, top = 0, bottom = 0;
  friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// What _NET_MOVERESIZE_WINDOW is given, with north-west gravity, so that the window's frame
// covers `frame`: the frame's corner, and the frame's size less the decorations (at least 1x1).
struct ClientGeometry {
  std::int32_t x = 0, y = 0;
  std::uint32_t width = 1, height = 1;
  friend bool operator==(const ClientGeometry&, const ClientGeometry&) = default;
};
ClientGeometry clientGeometry(const Rect& frame, const FrameExtents& extents);

}  // namespace brimwell
