// The windows GNOME Shell lists through Brimwell's Shell extension, read into the desktop model:
// the extension's Windows() reply is JSON, front to back as the Shell stacks them, each window
// with its id, process, app, title, frame, workspace and states. Pure functions over the reply's
// text, which is treated as hostile; callable from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// The most windows a reply may list, and the most bytes it may hold.
inline constexpr std::size_t kGnomeMaxWindows = 1024;
inline constexpr std::size_t kGnomeMaxReplyBytes = 4 * 1024 * 1024;

// The desktop `reply` describes, or the sentence saying why it isn't the extension's window list.
Result<Desktop> parseGnomeWindows(std::string_view reply);

// The Shell's number for window `id`, when `id` is one this backend gave.
std::optional<std::uint64_t> gnomeWindowNumber(const WindowId& id);

}  // namespace brimwell
