#include "linux/capture/i3_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::string_view kMagic = "i3-ipc";
constexpr std::size_t kHeaderBytes = kMagic.size() + 8;

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Milliseconds left before `deadline`, at least 0.
int remaining(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

Status waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int ready = ::poll(&p, 1, remaining(deadline));
    if (ready > 0) return {};
    if (ready == 0) return fail("The window manager didn't answer in time.");
    if (errno != EINTR) return failPosix(errno);
  }
}

Status sendAll(int fd, std::string_view bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    if (auto ready = waitFor(fd, POLLOUT, deadline); !ready) return ready;
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return fail("The window manager closed its socket.");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

Status receiveExactly(int fd, char* into, std::size_t size, Clock::time_point deadline) {
  std::size_t got = 0;
  while (got < size) {
    if (auto ready = waitFor(fd, POLLIN, deadline); !ready) return ready;
    const ssize_t n = ::recv(fd, into + got, size - got, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return fail("The window manager closed its socket.");
    got += static_cast<std::size_t>(n);
  }
  return {};
}

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
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeout));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
    return fail("The window manager's socket path is unusable.");
  }
  std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
  Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (socket.fd() < 0) return failPosix(errno);
  if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    return fail("The window manager's socket doesn't answer.");
  }
  if (auto sent = sendAll(socket.fd(), i3Frame(type, payload), deadline); !sent) {
    return Unexpected(sent.error());
  }
  // Replies come in the order of the requests; sway may send nothing else on a socket that
  // subscribed to no events.
  char header[kHeaderBytes];
  if (auto got = receiveExactly(socket.fd(), header, sizeof header, deadline); !got) {
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
  if (auto got = receiveExactly(socket.fd(), reply.data(), reply.size(), deadline); !got) {
    return Unexpected(got.error());
  }
  return reply;
}

}  // namespace brimwell
