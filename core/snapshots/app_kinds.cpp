#include "brimwell/core/snapshots/app_kinds.h"

#include <cstddef>

namespace brimwell {
namespace {

constexpr std::array<std::string_view, 8> kBrowserBundleIDs = {
    "com.apple.Safari",      "com.google.Chrome",          "com.brave.Browser",
    "com.microsoft.edgemac", "company.thebrowser.Browser", "com.vivaldi.Vivaldi",
    "org.mozilla.firefox",   "org.chromium.Chromium"};
constexpr std::array<std::string_view, 9> kTerminalBundleIDs = {"com.apple.Terminal",
                                                                "com.googlecode.iterm2",
                                                                "xterm",
                                                                "org.gnome.Terminal",
                                                                "org.kde.konsole",
                                                                "tmux",
                                                                "kitty",
                                                                "foot",
                                                                "com.alacritty.Alacritty"};

template <class Kind, std::size_t N>
std::optional<Kind> firstMatching(const std::array<std::string_view, N>& ids,
                                  std::string_view text) {
  for (std::size_t i = 0; i < N; ++i) {
    if (ids[i] == text) return static_cast<Kind>(i);
  }
  return std::nullopt;
}

}  // namespace

std::string_view bundleID(BrowserKind kind) {
  return kBrowserBundleIDs[static_cast<std::size_t>(kind)];
}
std::string_view bundleID(TerminalKind kind) {
  return kTerminalBundleIDs[static_cast<std::size_t>(kind)];
}

template <>
std::optional<BrowserKind> fromBundleID<BrowserKind>(std::string_view text) {
  return firstMatching<BrowserKind>(kBrowserBundleIDs, text);
}
template <>
std::optional<TerminalKind> fromBundleID<TerminalKind>(std::string_view text) {
  return firstMatching<TerminalKind>(kTerminalBundleIDs, text);
}

}  // namespace brimwell
