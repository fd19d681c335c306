// The windows KWin's scripting interface reports, read into the desktop model. The report is the
// JSON text the window-listing script sends back (see kwin_scripts.h): every normal window with
// its id, process, classes, caption, frame, states, virtual desktop and place in the stacking
// order, the active window's id, and the names of the virtual desktops. Pure functions over the
// text; callable from any thread.
#pragma once

#include <string_view>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// The desktop in `report`, front to back as KWin stacks it, or the sentence saying why the text
// isn't a window report.
Result<Desktop> parseKwinReport(std::string_view report);

}  // namespace brimwell
