// The browsers and terminal applications a capture asks, each tied to its application's bundle
// identifier. Raw values are the case names. The cases after the first six browsers and the first
// two terminals are the programs of Linux desktops, identified by their desktop-file IDs (tmux,
// which has none, by its name). Pure functions, callable from any thread.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "brimwell/core/base/enum_text.h"

namespace brimwell {

enum class BrowserKind { safari, chrome, brave, edge, arc, vivaldi, firefox, chromium };
enum class TerminalKind {
  terminal,
  iterm2,
  xterm,
  gnomeTerminal,
  konsole,
  tmux,
  kitty,
  foot,
  alacritty
};

template <>
struct EnumNames<BrowserKind> {
  static constexpr std::array<std::string_view, 8> names = {
      "safari", "chrome", "brave", "edge", "arc", "vivaldi", "firefox", "chromium"};
};

template <>
struct EnumNames<TerminalKind> {
  static constexpr std::array<std::string_view, 9> names = {
      "terminal", "iterm2", "xterm", "gnomeTerminal", "konsole",
      "tmux",     "kitty",  "foot",  "alacritty"};
};

std::string_view bundleID(BrowserKind kind);
std::string_view bundleID(TerminalKind kind);

// The kind whose bundle identifier equals `bundleID` exactly (case-sensitive), or nothing.
template <class Kind>
std::optional<Kind> fromBundleID(std::string_view bundleID);
template <>
std::optional<BrowserKind> fromBundleID<BrowserKind>(std::string_view text);
template <>
std::optional<TerminalKind> fromBundleID<TerminalKind>(std::string_view text);

}  // namespace brimwell
