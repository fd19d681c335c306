// SaveKeyboard: what the save pass does on the display: list the managed windows with their
// processes, bring one to the front, and press Ctrl+S where the keyboard focus is. The xcb one
// talks to the X server through EWMH and XTest; tests give fixed windows or failures. Every call
// is bounded. Used from one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct ClientWindow {
  std::uint32_t id = 0;
  std::optional<int> pid;  // _NET_WM_PID, absent when the client doesn't set it
  std::string wmInstance;  // the two halves of WM_CLASS
  std::string wmClass;
  friend bool operator==(const ClientWindow&, const ClientWindow&) = default;
};

class SaveKeyboard {
 public:
  virtual ~SaveKeyboard() = default;
  // The window manager's client list, or why there is no display to ask.
  virtual Result<std::vector<ClientWindow>> windows() = 0;
  // The active window, when the window manager names one.
  virtual std::optional<std::uint32_t> activeWindow() = 0;
  // Asks the window manager to activate `window` and waits until it is the active window.
  virtual Status activate(std::uint32_t window) = 0;
  // Presses and releases Control_L and s, as a user would, where the keyboard focus is.
  virtual Status pressControlS() = 0;
};

}  // namespace brimwell
