// X11Display: one xcb connection with its EWMH atoms, opened for one capture and closed with the
// object. Which display comes from the name given, else $DISPLAY. Not shared between threads.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <memory>
#include <string>

#include "brimwell/core/base/error.h"

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

}  // namespace brimwell
