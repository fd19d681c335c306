// The managed windows of an X display as its EWMH window manager publishes them: the stacking
// list, each window's pid, class, title, state and frame in root coordinates, and the active
// window. Asks every window's properties in one batch of requests. One display per object.
#pragma once

#include <string>

#include "linux/capture/window_source.h"

namespace brimwell {

class XcbWindowSource final : public WindowSource {
 public:
  // `display` empty: $DISPLAY.
  explicit XcbWindowSource(std::string display = {}) : display_(std::move(display)) {}
  Result<Desktop> desktop() override;

 private:
  std::string display_;
};

}  // namespace brimwell
