#include "linux/restore/gnome_window_control.h"

#include "linux/capture/wayland_clipboard.h"
#include "linux/restore/held_placement.h"

namespace brimwell {

Status GnomeWindowControl::place(const WindowId& id, const Rect& frame) {
  return placeUntilHeld([&] { return shell_.place(id, frame); }, [&] { return shell_.windows(); },
                        id, frame);
}

Result<std::int64_t> GnomeWindowControl::clipboardMark() {
  auto clipboard = GnomeClipboardSource(shell_).clipboard();
  if (!clipboard) return Unexpected(clipboard.error());
  return clipboardDigest(*clipboard);
}

}  // namespace brimwell
