// Firefox's own record of its windows and tabs: the profiles listed in profiles.ini and, per
// profile, the session file Firefox keeps current while it runs ("mozLz40\0", the decompressed
// size as 4 little-endian bytes, then one LZ4 block holding the session JSON). The file is
// hostile input: sizes are bounded and anything inconsistent is refused with one sentence.
// Pure functions, except `firefoxProfiles`, which reads the home directory it is given.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

// The most a session may declare or hold once decompressed.
inline constexpr std::size_t kMaxFirefoxSessionBytes = 256u << 20;

// The JSON text held by the bytes of a .jsonlz4 file. Fails on a short or foreign header, a
// declared size above `maxDecoded`, or a block that doesn't decode to exactly the declared size.
Result<std::string> decodeMozLz4(std::string_view bytes,
                                 std::size_t maxDecoded = kMaxFirefoxSessionBytes);

// The windows of a session document, in the document's order: each window's tabs in tab-strip
// order, each tab showing its current history entry (a tab with no entry that has a URL is left
// out), the selected tab, and the bounds when all four are given. Fails when the text isn't JSON
// or lists no windows.
Result<std::vector<BrowserWindowRecord>> parseFirefoxSession(std::string_view json);

// The profile directories profiles.ini lists, in file order, without repeats: every [Profile...]
// group's Path, relative to `firefoxDir` when IsRelative=1. Pure.
std::vector<std::filesystem::path> parseProfilesIni(std::string_view ini,
                                                    const std::filesystem::path& firefoxDir);

// The profiles of the Firefox installed for `home` (~/.mozilla/firefox/profiles.ini, also the
// one of the ESR build), or nothing when there is no profiles.ini: Firefox isn't set up there.
// An unreadable profiles.ini lists no profiles.
std::optional<std::vector<std::filesystem::path>> firefoxProfiles(
    const std::filesystem::path& home);

// The file a profile's running session is kept in.
std::filesystem::path recoverySessionFile(const std::filesystem::path& profile);

// The windows of the session in `file`: read (at most kMaxFirefoxSessionBytes), decoded, parsed.
Result<std::vector<BrowserWindowRecord>> readFirefoxSession(const std::filesystem::path& file);

}  // namespace brimwell
