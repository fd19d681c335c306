#include "linux/capture/local_stream.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <utility>

namespace brimwell {

Result<LocalStream> LocalStream::connect(std::string_view path, std::string peer, double timeout) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeout));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    return fail(peer + "'s socket path is unusable.");
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  socklen_t length = sizeof address;
  if (path.front() == '@') {
    // An abstract name is exactly its bytes, without a terminating NUL.
    address.sun_path[0] = '\0';
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return failPosix(errno);
  LocalStream stream(fd, std::move(peer), deadline);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 &&
      errno != EINPROGRESS) {
    return fail(stream.peer_ + "'s socket doesn't answer.");
  }
  return stream;
}

LocalStream::~LocalStream() {
  if (fd_ >= 0) ::close(fd_);
}

LocalStream::LocalStream(LocalStream&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      peer_(std::move(other.peer_)),
      deadline_(other.deadline_) {}

Status LocalStream::ready(short events) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    pollfd p{fd_, events, 0};
    const int n = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
    if (n > 0) return {};
    if (n == 0) return fail(peer_ + " didn't answer in time.");
    if (errno != EINTR) return failPosix(errno);
  }
}

Status LocalStream::send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (auto writable = ready(POLLOUT); !writable) return writable;
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return fail(peer_ + " closed its socket.");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

Result<std::size_t> LocalStream::receiveSome(char* into, std::size_t size) {
  for (;;) {
    if (auto readable = ready(POLLIN); !readable) return Unexpected(readable.error());
    const ssize_t n = ::recv(fd_, into, size, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return fail(peer_ + " closed its socket.");
    return static_cast<std::size_t>(n);
  }
}

Status LocalStream::receiveExactly(char* into, std::size_t size) {
  for (std::size_t got = 0; got < size;) {
    const auto n = receiveSome(into + got, size - got);
    if (!n) return Unexpected(n.error());
    got += *n;
  }
  return {};
}

Status LocalStream::receiveThrough(std::string& into, std::string_view end, std::size_t limit) {
  char chunk[64 * 1024];
  for (std::size_t from = 0;;) {
    if (const auto at = into.find(end, from); at != std::string::npos) {
      into.resize(at + end.size());
      return {};
    }
    from = into.size() >= end.size() ? into.size() - end.size() + 1 : 0;
    if (into.size() >= limit) {
      return fail(peer_ + "'s answer is larger than " + std::to_string(limit >> 20) + " MiB.");
    }
    const auto n = receiveSome(chunk, std::min(sizeof chunk, limit - into.size()));
    if (!n) return Unexpected(n.error());
    into.append(chunk, *n);
  }
}

std::optional<uid_t> LocalStream::peerUser() const {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
  return credentials.uid;
}

}  // namespace brimwell
