// X11Display: one xcb connection with its EWMH atoms, opened for one capture and closed with the
// object. Which display comes from the name given, else $DISPLAY. Not shared between threads.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <memory>
#include <optional>
#include <string>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

class X11Display {
 public:
  // Connects to `name` (empty: $DISPLAY). Fails with one sentence when there is no display or it
  // can't be reached.
  static Result<std::unique_ptr<X11Display>> open(const std::string& name);
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  xcb_connection_t* connection() const { return connection_; }
  xcb_ewmh_connection_t& ewmh() { return ewmh_; }
  int screenNumber() const { return screenNumber_; }
  xcb_window_t root() const { return ewmh_.screens[screenNumber_]->root; }
  // The atom named `name`, or XCB_ATOM_NONE when the server doesn't answer.
  xcb_atom_t atom(const char* name);

 private:
  X11Display() = default;
  xcb_connection_t* connection_ = nullptr;
  xcb_ewmh_connection_t ewmh_{};
  bool ewmhReady_ = false;
  int screenNumber_ = 0;
};

// An X window's id as the desktop model holds it (decimal), and back: nothing for text that isn't
// a window id this backend gave.
WindowId x11WindowId(xcb_window_t window);
std::optional<xcb_window_t> parseX11WindowId(const WindowId& id);

}  // namespace brimwell
