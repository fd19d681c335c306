#include "linux/desktop_session.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_environment.h"

namespace brimwell {
namespace {

struct Case {
  const char* what;
  SessionEnvironment session;
  DesktopBackendKind expected;
};

TEST(DesktopSession, TheBackendFollowsTheSession) {
  using K = DesktopBackendKind;
  const std::optional<std::string> unset;
  const Case cases[] = {
      {"nothing set: a console or a service", {}, K::none},
      {"an X11 session", {"x11", unset, unset, unset, "XFCE", ":0"}, K::x11},
      {"i3 on X11 speaks EWMH", {"x11", unset, unset, "/run/user/1000/i3/ipc", "i3", ":0"}, K::x11},
      {"GNOME on Xorg", {"x11", unset, unset, unset, "GNOME", ":0"}, K::x11},
      {"a stale WAYLAND_DISPLAY in an X11 session",
       {"x11", "wayland-0", unset, unset, "KDE", ":0"},
       K::x11},
      {"no session type but a display", {unset, unset, unset, unset, unset, ":1"}, K::x11},
      {"sway",
       {"wayland", "wayland-1", "/run/user/1000/sway-ipc.sock", unset, "sway", ":0"},
       K::sway},
      {"sway seen from a unit without the session type",
       {unset, "wayland-1", "/run/user/1000/sway-ipc.sock", unset, unset, unset},
       K::sway},
      {"GNOME on Wayland with XWayland",
       {"wayland", "wayland-0", unset, unset, "GNOME", ":0"},
       K::gnome},
      {"a distribution's GNOME",
       {"wayland", "wayland-0", unset, unset, "ubuntu:GNOME", ":0"},
       K::gnome},
      {"the name in another case",
       {"wayland", "wayland-0", unset, unset, "gnome", unset},
       K::gnome},
      {"Plasma on Wayland", {"wayland", "wayland-0", unset, unset, "KDE", ":1"}, K::kde},
      {"a name that only contains KDE",
       {"wayland", "wayland-0", unset, unset, "KDEish", ":1"},
       K::none},
      {"another compositor with XWayland",
       {"wayland", "wayland-0", unset, unset, "Hyprland", ":0"},
       K::none},
      {"Wayland without WAYLAND_DISPLAY",
       {"wayland", unset, unset, unset, "GNOME", unset},
       K::gnome},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chooseDesktopBackend(c.session), c.expected) << c.what;
  }
}

TEST(DesktopSession, EmptyVariablesCountAsUnset) {
  testing::ScopedEnvironment env;
  env.set("XDG_SESSION_TYPE", "");
  env.set("WAYLAND_DISPLAY", "wayland-9");
  env.set("SWAYSOCK", "");
  env.set("I3SOCK", "");
  env.set("XDG_CURRENT_DESKTOP", "KDE");
  env.set("DISPLAY", "");
  const SessionEnvironment session = SessionEnvironment::fromProcess();
  EXPECT_EQ(session.sessionType, std::nullopt);
  EXPECT_EQ(session.swaySocket, std::nullopt);
  EXPECT_EQ(session.display, std::nullopt);
  EXPECT_EQ(chooseDesktopBackend(session), DesktopBackendKind::kde);
}

}  // namespace
}  // namespace brimwell
