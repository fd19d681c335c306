// The Chromium-family browsers of a Linux desktop: per kind, where its user data lives under the
// configuration folder and which executables are its own; and the profiles its `Local State`
// lists. Pure.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/snapshots/app_kinds.h"

namespace brimwell {

// The Chromium-family kinds, in the order a capture lists them.
inline constexpr std::array<BrowserKind, 5> kChromiumFamily = {
    BrowserKind::chromium, BrowserKind::chrome, BrowserKind::brave, BrowserKind::edge,
    BrowserKind::vivaldi};

// The browser's user-data folder under the configuration folder ($XDG_CONFIG_HOME or ~/.config),
// such as "google-chrome" or "BraveSoftware/Brave-Browser"; empty for kinds outside the family.
std::string_view userDataFolder(BrowserKind kind);

// The family member whose browser runs as the executable at `path`, or nothing: chromium and
// chromium-browser (and a chrome inside a chromium folder) are Chromium, chrome Google Chrome,
// brave Brave, msedge Edge, vivaldi-bin Vivaldi.
std::optional<BrowserKind> chromiumKindOfExecutable(std::string_view path);

// The profile folder names the `Local State` text lists under profile.info_cache, in the text's
// order; none when the text isn't such a document. A name that would leave the user-data folder
// (empty, ".", "..", or with a "/") is left out.
std::vector<std::string> parseLocalStateProfiles(std::string_view json);

}  // namespace brimwell
