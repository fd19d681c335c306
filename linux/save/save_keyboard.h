// SaveKeyboard: what the save pass does on the display: list the managed windows with their
// processes, bring one to the front, and press Ctrl+S where the keyboard focus is. The xcb one
// talks to the X server through EWMH and XTest; tests give fixed windows or failures. Every call
// is bounded. Used from one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

struct ClientWindow {
  WindowId id;
  std::optional<int> pid;   // absent when the backend doesn't know the window's process
  std::string appInstance;  // as in DesktopWindow
  std::string appClass;
  friend bool operator==(const ClientWindow&, const ClientWindow&) = default;
};

class SaveKeyboard {
 public:
  virtual ~SaveKeyboard() = default;
  // The window manager's client list, or why there is no display to ask.
  virtual Result<std::vector<ClientWindow>> windows() = 0;
  // The active window, when the window manager names one.
  virtual std::optional<WindowId> activeWindow() = 0;
  // Asks the window manager to activate `window` and waits until it is the active window.
  virtual Status activate(const WindowId& window) = 0;
  // Presses and releases Control_L and s, as a user would, where the keyboard focus is.
  virtual Status pressControlS() = 0;
};

// Whether `keyboard` names `window` as the active one within `timeout` seconds, asked every
// 20 ms; `askAgain` (may be empty) runs every 200 ms meanwhile, for a window manager that may
// pass over the first request for a window it has only just shown.
bool waitUntilActive(SaveKeyboard& keyboard, const WindowId& window, double timeout,
                     const std::function<void()>& askAgain = {});

}  // namespace brimwell
