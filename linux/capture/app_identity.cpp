#include "linux/capture/app_identity.h"

#include <array>
#include <utility>

namespace brimwell {
namespace {

constexpr std::array<std::pair<std::string_view, BrowserKind>, 12> kBrowserDesktopIDs = {{
    {"google-chrome", BrowserKind::chrome},
    {"google-chrome-stable", BrowserKind::chrome},
    {"brave-browser", BrowserKind::brave},
    {"microsoft-edge", BrowserKind::edge},
    {"microsoft-edge-stable", BrowserKind::edge},
    {"vivaldi-stable", BrowserKind::vivaldi},
    {"firefox", BrowserKind::firefox},
    {"firefox-esr", BrowserKind::firefox},
    {"org.mozilla.firefox", BrowserKind::firefox},
    {"chromium", BrowserKind::chromium},
    {"chromium-browser", BrowserKind::chromium},
    {"org.chromium.Chromium", BrowserKind::chromium},
}};

constexpr std::array<std::pair<std::string_view, TerminalKind>, 11> kTerminalDesktopIDs = {{
    {"debian-xterm", TerminalKind::xterm},
    {"xterm", TerminalKind::xterm},
    {"debian-uxterm", TerminalKind::xterm},
    {"org.gnome.Terminal", TerminalKind::gnomeTerminal},
    {"org.kde.konsole", TerminalKind::konsole},
    {"kitty", TerminalKind::kitty},
    {"foot", TerminalKind::foot},
    {"footclient", TerminalKind::foot},
    {"foot-server", TerminalKind::foot},
    {"Alacritty", TerminalKind::alacritty},
    {"com.alacritty.Alacritty", TerminalKind::alacritty},
}};

}  // namespace

std::optional<BrowserKind> browserKindOfDesktopID(std::string_view desktopID) {
  for (const auto& [id, kind] : kBrowserDesktopIDs) {
    if (id == desktopID) return kind;
  }
  return std::nullopt;
}

std::optional<TerminalKind> terminalKindOfDesktopID(std::string_view desktopID) {
  for (const auto& [id, kind] : kTerminalDesktopIDs) {
    if (id == desktopID) return kind;
  }
  return std::nullopt;
}

std::string bundleIDForDesktopID(std::string_view desktopID) {
  if (const auto kind = browserKindOfDesktopID(desktopID)) return std::string(bundleID(*kind));
  if (const auto kind = terminalKindOfDesktopID(desktopID)) return std::string(bundleID(*kind));
  return std::string(desktopID);
}

}  // namespace brimwell
