#include "brimwell/core/helper/helper_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace brimwell {
namespace {

using Clock = HelperConnection::Clock;

Unexpected<HelperConnectionFailure> failure(std::string sentence, bool noSocket = false,
                                            bool unprocessed = false) {
  return Unexpected(HelperConnectionFailure{noSocket, unprocessed, Error(std::move(sentence))});
}

// Waits until `fd` is ready for `events` or `deadline` passes; false on the deadline.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, events, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left.count()) + 1);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // the next read or write reports it
  }
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%g", value);
  return text;
}

}  // namespace

Expected<HelperConnection, HelperConnectionFailure> HelperConnection::open(
    const std::string& socketPath, const PeerRequirement& helper) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof(address.sun_path)) {
    return failure("The Brimwell helper's socket path is too long.");
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  HelperConnection connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (connection.fd_ < 0) {
    return failure("The Brimwell helper can't be reached (" + Error::posix(errno).message() + ").");
  }
  if (::connect(connection.fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
      0) {
    const int error = errno;
    if (error == ENOENT) return failure("The Brimwell helper is not installed.", true);
    return failure("The Brimwell helper can't be reached (" + Error::posix(error).message() + ").");
  }
  auto peer = readPeerIdentity(connection.fd_);
  std::optional<std::string> refused =
      peer ? whyRefused(*peer, helper) : std::optional<std::string>("its identity cannot be read");
  if (refused) {
    return failure("The process answering for the Brimwell helper is not the installed helper (" +
                   *refused + ").");
  }
  return connection;
}

HelperConnection::HelperConnection(HelperConnection&& other) noexcept
    : fd_(other.fd_), broken_(other.broken_) {
  other.fd_ = -1;
}

HelperConnection::~HelperConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool HelperConnection::reusable() const {
  if (broken_ || fd_ < 0) return false;
  // Between requests the daemon has nothing to say: anything readable is its end of file (after
  // its idle exit or its silence limit) or an error.
  pollfd entry{fd_, POLLIN, 0};
  return ::poll(&entry, 1, 0) == 0;
}

Expected<HelperReply, HelperConnectionFailure> HelperConnection::exchange(
    const HelperRequest& request, Clock::time_point deadline, double limit) {
  broken_ = true;  // until the reply to this request has been read whole
  const std::string late =
      "The Brimwell helper did not answer within " + seconds(limit) + " seconds.";
  const std::string line = encodeRequest(request) + "\n";
  std::size_t sent = 0;
  while (sent < line.size()) {
    ssize_t count = ::send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
    } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!waitFor(fd_, POLLOUT, deadline)) return failure(late);
    } else {
      // The daemon's end was gone before the line's newline reached it: it has not acted.
      const int error = errno;
      return failure(
          "The Brimwell helper closed the connection (" + Error::posix(error).message() + ").",
          false, error == EPIPE || error == ECONNRESET);
    }
  }

  std::string received;
  char buffer[4096];
  for (;;) {
    auto newline = received.find('\n');
    if (newline != std::string::npos) {
      auto reply = parseReply(std::string_view(received).substr(0, newline));
      if (!reply) return failure(reply.error().message());
      const bool answersThis = reply->id == request.id && newline + 1 == received.size();
      if (reply->message) {
        broken_ = !answersThis;
        return *reply;
      }
      if (reply->id != request.id) {
        return failure("The Brimwell helper answered a different request.");
      }
      broken_ = !answersThis;
      return *reply;
    }
    if (received.size() > maxHelperLineLength) {
      return failure("The Brimwell helper answered with something that isn't a reply.");
    }
    ssize_t count = ::recv(fd_, buffer, sizeof(buffer), 0);
    if (count > 0) {
      received.append(buffer, static_cast<std::size_t>(count));
    } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!waitFor(fd_, POLLIN, deadline)) return failure(late);
    } else {
      // A reset with nothing received means the daemon closed with our line still unread in its
      // socket; an orderly end of file means it read the line and then went away, so the
      // request may have been carried out.
      const bool unread = count < 0 && errno == ECONNRESET && received.empty();
      return failure("The Brimwell helper closed the connection without answering.", false, unread);
    }
  }
}

}  // namespace brimwell
