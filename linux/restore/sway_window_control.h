// SwayWindowControl: the restore's window control on sway: the layout tree for the windows,
// commands on one container for frames ("resize set", "move absolute position"; only floating
// windows have a frame of their own, tiled ones keep the place the layout gives them), full
// screen and the scratchpad for minimised windows, and the Wayland clipboard's digest as its mark.
#pragma once

#include "linux/capture/sway_ipc.h"
#include "linux/restore/window_control.h"

namespace brimwell {

class SwayWindowControl final : public WindowControl {
 public:
  explicit SwayWindowControl(SwayIpc ipc = SwayIpc(), std::string waylandDisplay = {})
      : ipc_(std::move(ipc)), waylandDisplay_(std::move(waylandDisplay)) {}
  Result<Desktop> desktop() override;
  Status place(const WindowId& id, const Rect& frame) override;
  Status setState(const WindowId& id, bool minimized, bool fullScreen) override;
  Result<std::int64_t> clipboardMark() override;

 private:
  SwayIpc ipc_;
  std::string waylandDisplay_;
};

}  // namespace brimwell
