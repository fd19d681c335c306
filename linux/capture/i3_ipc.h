// The IPC socket of sway (and i3): one request, one reply, each framed as "i3-ipc", a 32-bit
// payload length and a 32-bit message type in the host's byte order, then the payload. Every
// exchange has a deadline and a reply is capped, so a compositor that stalls or floods the
// socket costs a bounded wait and no more memory than the cap.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"

namespace brimwell {

enum class I3Message : std::uint32_t { runCommand = 0, getTree = 4 };

// Replies larger than this are refused (a tree of hundreds of windows is well under 1 MiB).
inline constexpr std::size_t kI3ReplyLimit = 16u << 20;

// Sends `payload` as a message of `type` on the socket at `socketPath` and returns the reply's
// payload, or the sentence saying why there is none within `timeout` seconds.
Result<std::string> i3Request(const std::string& socketPath, I3Message type,
                              std::string_view payload, double timeout);

// The framing alone, for tests and the parser's fuzzing: the header and payload of a message.
std::string i3Frame(I3Message type, std::string_view payload);

}  // namespace brimwell
