#include "linux/capture/i3_ipc.h"

#include <cstring>

#include "linux/capture/local_stream.h"

namespace brimwell {
namespace {

constexpr std::string_view kMagic = "i3-ipc";
constexpr std::size_t kHeaderBytes = kMagic.size() + 8;

}  // namespace

std::string i3Frame(I3Message type, std::string_view payload) {
  std::string frame(kMagic);
  const auto length = static_cast<std::uint32_t>(payload.size());
  const auto kind = static_cast<std::uint32_t>(type);
  frame.append(reinterpret_cast<const char*>(&length), 4);
  frame.append(reinterpret_cast<const char*>(&kind), 4);
  frame.append(payload);
  return frame;
}

Result<std::string> i3Request(const std::string& socketPath, I3Message type,
                              std::string_view payload, double timeout) {
  auto socket = LocalStream::connect(socketPath, "The window manager", timeout);
  if (!socket) return Unexpected(socket.error());
  if (auto sent = socket->send(i3Frame(type, payload)); !sent) return Unexpected(sent.error());
  // Replies come in the order of the requests; sway may send nothing else on a socket that
  // subscribed to no events.
  char header[kHeaderBytes];
  if (auto got = socket->receiveExactly(header, sizeof header); !got) {
    return Unexpected(got.error());
  }
  if (std::string_view(header, kMagic.size()) != kMagic) {
    return fail("The window manager's socket doesn't speak its IPC.");
  }
  std::uint32_t length = 0, kind = 0;
  std::memcpy(&length, header + kMagic.size(), 4);
  std::memcpy(&kind, header + kMagic.size() + 4, 4);
  if (kind != static_cast<std::uint32_t>(type)) {
    return fail("The window manager answered another request.");
  }
  if (length > kI3ReplyLimit) return fail("The window manager's reply is larger than 16 MiB.");
  std::string reply(length, '\0');
  if (auto got = socket->receiveExactly(reply.data(), reply.size()); !got) {
    return Unexpected(got.error());
  }
  return reply;
}

}  // namespace brimwell
