// The tmux server's panes as terminal windows: each tmux window becomes a terminal window and each
// of its panes a tab. Pure; callable from any thread.
#pragma once

#include <string_view>
#include <vector>

#include "core/snapshots/workspace_records.h"

namespace brimwell {

// The format `tmux list-panes -a -F` is given: session, window index, pane index, the pane's
// working directory and its title, separated by tabs.
inline constexpr std::string_view kTmuxPaneFormat =
    "#{session_name}\t#{window_index}\t#{pane_index}\t#{pane_current_path}\t#{pane_title}";

// The windows listed in `output` (lines in kTmuxPaneFormat), in the order their first pane
// appears; a pane's empty directory is absent. Lines without all five fields are skipped.
std::vector<TerminalWindowRecord> parseTmuxPanes(std::string_view output);

}  // namespace brimwell
