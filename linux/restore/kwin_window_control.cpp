#include "linux/restore/kwin_window_control.h"

#include "linux/capture/kwin_window_source.h"
#include "linux/capture/wayland_clipboard.h"
#include "linux/restore/held_placement.h"

namespace brimwell {

Result<Desktop> KwinWindowControl::desktop() { return KwinWindowSource(scripting_).desktop(); }

Status KwinWindowControl::place(const WindowId& id, const Rect& frame) {
  return placeUntilHeld([&] { return placeKwinWindow(scripting_, {.id = id, .frame = frame}); },
                        [&] { return desktop(); }, id, frame);
}

Status KwinWindowControl::setState(const WindowId& id, bool minimized, bool fullScreen) {
  return placeKwinWindow(scripting_, {.id = id,
                                      .minimized = minimized ? std::optional(true) : std::nullopt,
                                      .fullScreen = fullScreen});
}

Result<std::int64_t> KwinWindowControl::clipboardMark() {
  auto clipboard = WaylandClipboardSource(waylandDisplay_).clipboard();
  if (!clipboard) return Unexpected(clipboard.error());
  return clipboardDigest(*clipboard);
}

}  // namespace brimwell
