// WindowSource: where the capturer gets the managed windows of the display. The X11 one asks the
// window manager through EWMH; tests give fixed desktops or failures.
#pragma once

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

class WindowSource {
 public:
  virtual ~WindowSource() = default;
  // The windows as they are now, or the sentence saying why there is no display to ask.
  virtual Result<Desktop> desktop() = 0;
};

}  // namespace brimwell
