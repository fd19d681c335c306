// The bundle identifier a snapshot records for a Linux application: the identifier of the browser
// or terminal kind when the desktop file is one of theirs, otherwise the desktop-file ID itself.
// Pure; callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/snapshots/app_kinds.h"

namespace brimwell {

// The browser or terminal kind whose desktop file has the ID `desktopID`, or nothing.
std::optional<BrowserKind> browserKindOfDesktopID(std::string_view desktopID);
std::optional<TerminalKind> terminalKindOfDesktopID(std::string_view desktopID);

// For example "google-chrome" → "com.google.Chrome", "debian-xterm" → "xterm",
// "org.gnome.gedit" → "org.gnome.gedit".
std::string bundleIDForDesktopID(std::string_view desktopID);

}  // namespace brimwell
