// The save pass's keyboard for the session Brimwell runs in: XTest on X11, the virtual keyboard
// on sway, and on a desktop without a backend one that says in one sentence why no key can be
// pressed (the pass then reports the applications it would have asked).
#pragma once

#include <memory>

#include "linux/desktop_session.h"
#include "linux/save/save_keyboard.h"

namespace brimwell {

std::unique_ptr<SaveKeyboard> saveKeyboardFor(DesktopBackendKind backend);
std::unique_ptr<SaveKeyboard> saveKeyboardForSession();

}  // namespace brimwell
