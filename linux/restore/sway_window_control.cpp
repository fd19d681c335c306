#include "linux/restore/sway_window_control.h"

#include <algorithm>
#include <cmath>

#include "linux/capture/wayland_clipboard.h"

namespace brimwell {
namespace {

std::string pixels(double value) {
  return std::to_string(static_cast<long long>(std::lround(value)));
}

}  // namespace

Result<Desktop> SwayWindowControl::desktop() {
  auto layout = ipc_.layout();
  if (!layout) return Unexpected(layout.error());
  return desktopOf(*layout);
}

Status SwayWindowControl::place(const WindowId& id, const Rect& frame) {
  auto layout = ipc_.layout();
  if (!layout) return Unexpected(layout.error());
  const auto window = std::find_if(layout->windows.begin(), layout->windows.end(),
                                   [&](const SwayWindow& w) { return w.window.id == id; });
  if (window == layout->windows.end()) return fail("The window is no longer open.");
  if (!window->floating) return fail("sway tiles this window, so its frame is the layout's.");
  // A full-screen window ignores a move; its state comes back afterwards.
  if (window->window.fullScreen) {
    if (auto left = ipc_.run(id, "fullscreen disable"); !left) return left;
  }
  return ipc_.run(id, "resize set width " + pixels(frame.width) + " px height " +
                          pixels(frame.height) + " px, move absolute position " + pixels(frame.x) +
                          " " + pixels(frame.y));
}

Status SwayWindowControl::setState(const WindowId& id, bool minimized, bool fullScreen) {
  if (auto set = ipc_.run(id, fullScreen ? "fullscreen enable" : "fullscreen disable"); !set) {
    return set;
  }
  // sway has no minimised windows; its scratchpad keeps windows out of sight the same way.
  if (minimized) return ipc_.run(id, "move scratchpad");
  return {};
}

Result<std::int64_t> SwayWindowControl::clipboardMark() {
  auto clipboard = WaylandClipboardSource(waylandDisplay_).clipboard();
  if (!clipboard) return Unexpected(clipboard.error());
  return clipboardDigest(*clipboard);
}

}  // namespace brimwell
