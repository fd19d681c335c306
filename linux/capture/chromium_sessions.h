// The windows and tabs a Chromium-family browser records in its session file (a command log, see
// snss_log.h), replayed the way the browser replays it at start: windows with their type, bounds
// and selected tab; tabs with their window, place in the tab strip and selected history entry;
// history entries with their URL and title; closed tabs and windows, tabs moved between windows
// and history pruned from either end. Only normal windows are kept (never popups, app or devtools
// windows; private windows are never written). The file is hostile input: every payload is
// checked for its length, every index for its range, and what a replay keeps is bounded.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

// The most of a session file that is read.
inline constexpr std::size_t kMaxChromiumSessionBytes = 64u << 20;

// The normal windows of the session in `bytes`, in the order they were opened: each window's tabs
// in tab-strip order (a tab without an entry that has a URL left out), each showing its selected
// entry, the selected tab, and the bounds when the window has a size. A command too short for its
// kind is passed over; a cut tail is left out. Fails only when the log itself can't be read.
Result<std::vector<BrowserWindowRecord>> parseChromiumSession(std::string_view bytes);

// The windows of the session in `file`: read (at most kMaxChromiumSessionBytes) and parsed.
Result<std::vector<BrowserWindowRecord>> readChromiumSession(const std::filesystem::path& file);

// True for the name of a file the browser keeps a session in: "Session_" then digits.
bool isSessionFileName(std::string_view name);

// The session file of `profile` the browser wrote last: its Sessions folder's "Session_N" with the
// greatest N, else the "Current Session" file of older versions, else nothing.
std::optional<std::filesystem::path> newestSessionFile(const std::filesystem::path& profile);

}  // namespace brimwell
