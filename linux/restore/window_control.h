// WindowControl: what the restore executor asks of the window manager and the X server: the
// managed windows, moving a window's frame, its minimised and full-screen states, and who owns
// the clipboard. The X11 one speaks EWMH client messages to the root window; tests give fakes.
#pragma once

#include <cstdint>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"
#include "linux/restore/window_matching.h"

namespace brimwell {

class WindowControl {
 public:
  virtual ~WindowControl() = default;
  virtual Result<Desktop> desktop() = 0;
  // Asks the window manager to move and resize window `id` so that its frame covers `frame`.
  virtual Status place(const WindowId& id, const Rect& frame) = 0;
  // Asks the window manager to minimise window `id` (when `minimized`; a shown window is left
  // shown) and to make it full screen or not.
  virtual Status setState(const WindowId& id, bool minimized, bool fullScreen) = 0;
  // A number that changes whenever something new is put on the clipboard (on X11, the window
  // owning the CLIPBOARD selection, 0 when none does).
  virtual Result<std::int64_t> clipboardMark() = 0;
};

class X11WindowControl final : public WindowControl {
 public:
  // `display` empty: $DISPLAY. Each call opens its own connection, so no state is kept.
  explicit X11WindowControl(std::string display = {}) : display_(std::move(display)) {}
  Result<Desktop> desktop() override;
  Status place(const WindowId& id, const Rect& frame) override;
  Status setState(const WindowId& id, bool minimized, bool fullScreen) override;
  Result<std::int64_t> clipboardMark() override;

 private:
  std::string display_;
};

}  // namespace brimwell
