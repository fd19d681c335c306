// Pressing Ctrl+S on a Wayland desktop, as a keyboard would: through the compositor's virtual
// keyboard protocol (zwp_virtual_keyboard_manager_v1, offered by sway and other wlroots
// compositors), with a US keymap compiled by xkbcommon, or through KWin's fake input
// (org_kde_kwin_fake_input, which KWin offers a program whose desktop file names it in
// X-KDE-Wayland-Interfaces), into the window that has the focus.
#pragma once

#include <string>

#include "brimwell/core/base/error.h"

namespace brimwell {

// `display` empty: $WAYLAND_DISPLAY. Bounded by `timeout` seconds.
Status pressControlSOnWayland(const std::string& display, double timeout);

}  // namespace brimwell
