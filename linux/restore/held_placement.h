// Placing a window so that the place holds: a compositor may give a window it has only just shown
// its own first place after Brimwell's move, so the frame is checked for a moment and asked for
// once more when it didn't hold. A frame the compositor keeps different (off the screen's edges)
// stands. Blocks for at most about a second; any thread the callables allow.
#pragma once

#include <functional>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

Status placeUntilHeld(const std::function<Status()>& place,
                      const std::function<Result<Desktop>()>& desktop, const WindowId& id,
                      const Rect& frame);

}  // namespace brimwell
