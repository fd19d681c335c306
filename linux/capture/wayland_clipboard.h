// The clipboard of a Wayland session, through the compositor's clipboard-manager protocol
// (zwlr_data_control_manager_v1, offered by sway, other wlroots compositors and KWin): reading
// every type the selection offers, a mark that changes with what is on it, and serving a
// recorded clipboard from a process that owns the selection until another client takes it.
#pragma once

#include <cstdint>
#include <string>

#include "brimwell/core/snapshots/clipboard_record.h"
#include "linux/capture/clipboard_source.h"

namespace brimwell {

class WaylandClipboardSource final : public ClipboardSource {
 public:
  // `display` empty: $WAYLAND_DISPLAY. `timeout` bounds the whole read.
  explicit WaylandClipboardSource(std::string display = {}, double timeout = 2,
                                  std::int64_t ceiling = ClipboardRecord::maxBytes)
      : display_(std::move(display)), timeout_(timeout), ceiling_(ceiling) {}
  Result<ClipboardRecord> clipboard() override;

 private:
  std::string display_;
  double timeout_;
  std::int64_t ceiling_;
};

// A number that changes whenever the clipboard's contents do (0 for an empty clipboard): a
// digest of every type and its bytes, read as the source above reads them.
std::int64_t clipboardDigest(const ClipboardRecord& record);

// Owns the selection on `display` with the first item of `record`, offering each of its types,
// until another client takes the selection or the compositor goes away. Once it owns the
// selection it writes "ready" and a newline to `readyFd` and closes it; a failure before that is
// the sentence returned.
Status serveWaylandClipboard(const std::string& display, const ClipboardRecord& record,
                             int readyFd);

}  // namespace brimwell
