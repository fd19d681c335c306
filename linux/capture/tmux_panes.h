// The tmux server's panes as terminal windows: each tmux window becomes a terminal window and each
// of its panes a tab whose title names the window as tmux targets it, "session:window name", so
// a restore brings back both names. Pure; callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

// The format `tmux list-panes -a -F` is given: session, window index, pane index, the pane's
// working directory and its window's name, separated by tabs.
inline constexpr std::string_view kTmuxPaneFormat =
    "#{session_name}\t#{window_index}\t#{pane_index}\t#{pane_current_path}\t#{window_name}";

// A tmux window's place and name, as a pane's tab title holds them.
struct TmuxWindowName {
  std::string session;  // never holds ':' (tmux doesn't allow it)
  std::string window;
  friend bool operator==(const TmuxWindowName&, const TmuxWindowName&) = default;
};

// "session:window name".
std::string tmuxTabTitle(const TmuxWindowName& name);
// The names in a tab title, split at its first ':'; nothing for a title without one or with an
// empty session.
std::optional<TmuxWindowName> parseTmuxTabTitle(std::string_view title);

// The windows listed in `output` (lines in kTmuxPaneFormat), in the order their first pane
// appears; a pane's empty directory is absent. Lines without all five fields are skipped.
std::vector<TerminalWindowRecord> parseTmuxPanes(std::string_view output);

}  // namespace brimwell
