// WindowControl: what the restore executor asks of the window manager and the X server: the
// managed windows, moving a window's frame, its minimised and full-screen states, and who owns
// the clipboard. The X11 one speaks EWMH client messages to the root window; tests give fakes.
#pragma once

#include <cstdint>

#include "brimwell/core/base/error.h"
#include "linux/capture/x11_desktop.h"
#include "linux/restore/window_matching.h"

namespace brimwell {

class WindowControl {
 public:
  virtual ~WindowControl() = default;
  virtual Result<X11Desktop> desktop() = 0;
  // Asks the window manager to move and resize window `id` so that its frame covers `frame`.
  virtual Status place(std::uint32_t id, const Rect& frame) = 0;
  // Asks the window manager to minimise window `id` (when `minimized`; a shown window is left
  // shown) and to make it full screen or not.
  virtual Status setState(std::uint32_t id, bool minimized, bool fullScreen) = 0;
  // The window owning the CLIPBOARD selection now, 0 when none does.
  virtual Result<std::uint32_t> clipboardOwner() = 0;
};

class X11WindowControl final : public WindowControl {
 public:
  // `display` empty: $DISPLAY. Each call opens its own connection, so no state is kept.
  explicit X11WindowControl(std::string display = {}) : display_(std::move(display)) {}
  Result<X11Desktop> desktop() override;
  Status place(std::uint32_t id, const Rect& frame) override;
  Status setState(std::uint32_t id, bool minimized, bool fullScreen) override;
  Result<std::uint32_t> clipboardOwner() override;

 private:
  std::string display_;
};

}  // namespace brimwell
