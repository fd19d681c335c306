// The restore's window control for the session Brimwell runs in: X11's through EWMH, sway's
// through its IPC socket, and on a desktop without a backend one that refuses every placement
// with one sentence (the clipboard still checked through XWayland where it runs).
#pragma once

#include <memory>

#include "linux/desktop_session.h"
#include "linux/restore/window_control.h"

namespace brimwell {

std::unique_ptr<WindowControl> windowControlFor(DesktopBackendKind backend);
std::unique_ptr<WindowControl> windowControlForSession();

}  // namespace brimwell
