#include "linux/desktop_session.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ranges>

namespace brimwell {
namespace {

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// XDG_CURRENT_DESKTOP lists names from the most to the least specific ("ubuntu:GNOME").
bool desktopListNames(const std::optional<std::string>& list, std::string_view name) {
  if (!list) return false;
  for (auto part : std::views::split(std::string_view(*list), ':')) {
    if (equalsIgnoringCase(std::string_view(part.begin(), part.end()), name)) return true;
  }
  return false;
}

}  // namespace

SessionEnvironment SessionEnvironment::fromProcess() {
  return {variable("XDG_SESSION_TYPE"), variable("WAYLAND_DISPLAY"),     variable("SWAYSOCK"),
          variable("I3SOCK"),           variable("XDG_CURRENT_DESKTOP"), variable("DISPLAY")};
}

DesktopBackendKind chooseDesktopBackend(const SessionEnvironment& session) {
  // An X11 session says so; a client started from a Wayland session finds WAYLAND_DISPLAY even
  // when the session type wasn't passed on (a terminal's shell, a user unit).
  const bool x11Session = session.sessionType && equalsIgnoringCase(*session.sessionType, "x11");
  const bool wayland =
      !x11Session && (session.waylandDisplay ||
                      (session.sessionType && equalsIgnoringCase(*session.sessionType, "wayland")));
  if (wayland) {
    if (session.swaySocket) return DesktopBackendKind::sway;
    if (desktopListNames(session.currentDesktop, "GNOME")) return DesktopBackendKind::gnome;
    if (desktopListNames(session.currentDesktop, "KDE")) return DesktopBackendKind::kde;
    return DesktopBackendKind::none;
  }
  return session.display ? DesktopBackendKind::x11 : DesktopBackendKind::none;
}

std::string_view desktopBackendName(DesktopBackendKind kind) {
  switch (kind) {
    case DesktopBackendKind::x11:
      return "X11";
    case DesktopBackendKind::gnome:
      return "GNOME";
    case DesktopBackendKind::kde:
      return "KDE Plasma";
    case DesktopBackendKind::sway:
      return "sway";
    case DesktopBackendKind::none:
      return "none";
  }
  return "none";
}

}  // namespace brimwell
