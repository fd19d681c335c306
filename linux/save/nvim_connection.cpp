#include "linux/save/nvim_connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

namespace brimwell {
namespace {

// Waits until `fd` is ready for `events` or the deadline passes.
Status waitFor(int fd, short events, NvimConnection::Deadline deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return fail("Neovim didn't answer in time.", ETIMEDOUT);
    pollfd entry{.fd = fd, .events = events, .revents = 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready > 0) return {};
    if (ready < 0 && errno != EINTR) return failPosix(errno);
  }
}

// How long the server may pause in the middle of an answer before what came is decoded.
constexpr auto kQuiet = std::chrono::milliseconds(20);

Unexpected<Error> unreadable() {
  return fail("Neovim answered with something Brimwell can't read.", EBADMSG);
}

}  // namespace

Result<NvimConnection> NvimConnection::open(const std::string& socketPath, Deadline deadline) {
  sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
    return fail("The Neovim server's socket path is too long to connect to.");
  }
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return failPosix(errno);
  NvimConnection connection(fd);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS && errno != EAGAIN) {
      return fail("Neovim's server isn't listening at " + socketPath + ".", errno);
    }
    if (auto ready = waitFor(fd, POLLOUT, deadline); !ready) return Unexpected(ready.error());
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      return fail("Neovim's server isn't listening at " + socketPath + ".", error);
    }
  }
  return connection;
}

NvimConnection::NvimConnection(NvimConnection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      nextID_(other.nextID_),
      pending_(std::move(other.pending_)) {}

NvimConnection& NvimConnection::operator=(NvimConnection&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    nextID_ = other.nextID_;
    pending_ = std::move(other.pending_);
  }
  return *this;
}

NvimConnection::~NvimConnection() { close(); }

void NvimConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Result<MsgValue> NvimConnection::call(const std::string& method, MsgArray args, Deadline deadline) {
  if (fd_ < 0) return fail("The connection to Neovim was closed after an earlier failure.", EPIPE);
  const auto id = nextID_++;
  const MsgValue request{
      MsgArray{{std::int64_t{0}}, {std::int64_t{id}}, {method}, {std::move(args)}}};
  if (auto sent = send(encodeMsg(request), deadline); !sent) {
    close();
    return Unexpected(sent.error());
  }
  for (;;) {
    auto message = receive(deadline);
    if (!message) {
      close();
      return message;
    }
    const auto* parts = message->array();
    if (parts == nullptr || parts->empty() || !(*parts)[0].integer()) {
      close();
      return unreadable();
    }
    const auto type = *(*parts)[0].integer();
    if (type != 1) continue;  // a notification or a request of the server's: not ours
    if (parts->size() != 4 || !(*parts)[1].integer() || *(*parts)[1].integer() != id) {
      close();
      return unreadable();
    }
    const auto& error = (*parts)[2];
    if (error.isNil()) return (*parts)[3];
    // Neovim's errors are [type, message].
    const auto* detail = error.array();
    if (detail && detail->size() == 2 && (*detail)[1].string()) {
      auto text = *(*detail)[1].string();
      if (text.size() > 300) text.resize(300);
      return fail("Neovim refused " + method + ": " + text);
    }
    return fail("Neovim refused " + method + ".");
  }
}

Status NvimConnection::send(const std::string& bytes, Deadline deadline) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto written = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (written > 0) {
      at += static_cast<std::size_t>(written);
    } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (auto ready = waitFor(fd_, POLLOUT, deadline); !ready) return ready;
    } else {
      return fail("Neovim closed the connection.", written < 0 ? errno : EPIPE);
    }
  }
  return {};
}

Result<MsgValue> NvimConnection::receive(Deadline deadline) {
  // A message has no length in front, so it is decoded from the start again as bytes come in:
  // only when what is held has doubled since the last try, or the server has gone quiet, so a
  // large answer costs a few decodes rather than one per read.
  char buffer[64 * 1024];
  std::size_t tried = 0;
  bool quiet = true;
  for (;;) {
    if (!pending_.empty() && (quiet || pending_.size() >= 2 * tried)) {
      auto decoded = decodeMsg(pending_);
      if (decoded) {
        pending_.erase(0, decoded->used);
        return std::move(decoded->value);
      }
      if (decoded.error().code() != EAGAIN) return unreadable();
      tried = pending_.size();
    }
    quiet = false;
    if (pending_.size() >= kMaxAnswer) {
      return fail("Neovim's answer was larger than Brimwell reads.", EMSGSIZE);
    }
    const auto got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got > 0) {
      pending_.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      return fail("Neovim closed the connection.", got < 0 ? errno : EPIPE);
    }
    const auto soon = std::min(deadline, std::chrono::steady_clock::now() + kQuiet);
    if (auto ready = waitFor(fd_, POLLIN, soon); !ready) {
      if (std::chrono::steady_clock::now() >= deadline) return Unexpected(ready.error());
      quiet = true;
    }
  }
}

}  // namespace brimwell
