// The windows of a sway (or i3) layout tree, as GET_TREE describes it, read into the desktop
// model: every container that shows a client (it has a pid and an app id or X11 properties),
// front to back as the containers' focus order runs (floating windows above the tiled ones of
// their workspace), the scratchpad's windows last and hidden. Pure functions over the reply's
// text; callable from any thread.
#pragma once

#include <string_view>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// The workspace sway keeps its scratchpad in.
inline constexpr std::string_view kSwayScratchpad = "__i3_scratch";

struct SwayWindow {
  DesktopWindow window;
  bool floating = false;  // a floating container: its frame is the user's to set
};

struct SwayLayout {
  std::vector<SwayWindow> windows;  // front to back
  std::optional<WindowId> focused;
};

// The windows of `tree`, or the sentence saying why the text isn't a layout tree.
Result<SwayLayout> parseSwayTree(std::string_view tree);

// The desktop model of `layout`.
Desktop desktopOf(const SwayLayout& layout);

}  // namespace brimwell
