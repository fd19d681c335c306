// Which desktop the session runs, told from the variables the session manager sets, and so which
// backend speaks to its window manager: X11 (any X11 window manager that follows EWMH, i3
// included), GNOME Shell and KWin on Wayland through their scripting interfaces, sway through
// its IPC socket. A Wayland session of any other compositor has no backend: applications are
// still found through /proc, but windows aren't.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

enum class DesktopBackendKind { x11, gnome, kde, sway, none };

// The variables that tell the session apart, each absent when unset or empty.
struct SessionEnvironment {
  std::optional<std::string> sessionType;     // XDG_SESSION_TYPE: "x11", "wayland", "tty"…
  std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY
  std::optional<std::string> swaySocket;      // SWAYSOCK
  std::optional<std::string> i3Socket;        // I3SOCK
  std::optional<std::string> currentDesktop;  // XDG_CURRENT_DESKTOP, a colon-separated list
  std::optional<std::string> display;         // DISPLAY

  static SessionEnvironment fromProcess();
};

DesktopBackendKind chooseDesktopBackend(const SessionEnvironment& session);

// "X11", "GNOME", "KDE Plasma", "sway", "none": the name a sentence or a table gives the backend.
std::string_view desktopBackendName(DesktopBackendKind kind);

}  // namespace brimwell
