#include "helper/helper_listener.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "brimwell/core/helper/helper_wire.h"
#include "helper/peer_process.h"

namespace brimwell {
namespace {

// Writes all of `text`; false when the peer went away or stopped reading for too long.
bool sendAll(int fd, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    ssize_t count = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

}  // namespace

HelperListener::HelperListener(int fd, HelperListenerDelegate delegate)
    : listenFd_(fd), wakeFd_(::eventfd(0, EFD_CLOEXEC)), delegate_(std::move(delegate)) {}

HelperListener::~HelperListener() {
  ::close(listenFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void HelperListener::stop() {
  std::uint64_t one = 1;
  while (::write(wakeFd_, &one, sizeof(one)) < 0 && errno == EINTR) {
  }
}

void HelperListener::run() {
  for (;;) {
    pollfd entries[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (entries[1].revents != 0) break;
    if (entries[0].revents == 0) continue;
    int connection = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      // Out of descriptors or memory: let pending peers wait briefly rather than spin.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      continue;
    }
    struct ucred credentials {};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
      ::close(connection);
      continue;
    }
    reapFinished();
    std::lock_guard guard(lock_);
    if (credentials.uid != 0 && perUser_[credentials.uid] >= delegate_.limits.perUser) {
      // The socket is fresh and empty, so this short line never blocks the accepting thread.
      HelperReply reply;
      reply.message = "The Brimwell helper already serves " +
                      std::to_string(delegate_.limits.perUser) +
                      " connections of this user; close one and try again.";
      const std::string line = encodeReply(reply) + "\n";
      ::send(connection, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      ::close(connection);
      continue;
    }
    // Counted before the next accept, so the idle timer cannot end the process under it.
    if (delegate_.idle) delegate_.idle->connectionOpened();
    ++perUser_[credentials.uid];
    connections_.insert(connection);
    threads_.emplace_back([this, connection, uid = credentials.uid] { serve(connection, uid); });
  }

  std::list<std::thread> remaining;
  {
    std::lock_guard guard(lock_);
    for (int connection : connections_) ::shutdown(connection, SHUT_RDWR);
    remaining.swap(threads_);
  }
  for (auto& thread : remaining) thread.join();
}

void HelperListener::reapFinished() {
  std::list<std::thread> done;
  {
    std::lock_guard guard(lock_);
    for (auto id : finished_) {
      for (auto it = threads_.begin(); it != threads_.end(); ++it) {
        if (it->get_id() == id) {
          done.splice(done.end(), threads_, it);
          break;
        }
      }
    }
    finished_.clear();
  }
  for (auto& thread : done) thread.join();
}

void HelperListener::serve(int connection, uid_t uid) {
  // A peer that stops reading cannot hold this thread for ever.
  timeval sendLimit{10, 0};
  ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof(sendLimit));

  auto peer = pinPeerProcess(connection);
  if (peer) {
    auto authority = delegate_.authority();
    const CallAuthorizer authorize = [&](HelperCall call) {
      HelperAction action = actionFor(call);
      return refusalSentence(action, authority->authorize(*peer, action));
    };
    HelperService service(delegate_.runner, delegate_.store, delegate_.version, delegate_.pmset);
    converse(connection, service, authorize);
  } else {
    HelperReply reply;
    reply.message =
        "The Brimwell helper cannot serve this connection (" + peer.error().message() + ").";
    sendAll(connection, encodeReply(reply) + "\n");
  }

  {
    std::lock_guard guard(lock_);
    connections_.erase(connection);
    if (--perUser_[uid] == 0) perUser_.erase(uid);
    ::close(connection);
    finished_.push_back(std::this_thread::get_id());
  }
  if (delegate_.idle) delegate_.idle->connectionClosed();
}

void HelperListener::converse(int connection, HelperService& service,
                              const CallAuthorizer& authorize) {
  using Clock = std::chrono::steady_clock;
  std::string pending;
  char buffer[16384];
  // A line must be complete soon after its first byte, and the next must start soon after a
  // reply: a peer that holds a connection open without using it is cut off.
  Clock::time_point deadline = Clock::now() + delegate_.limits.silence;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return;
    pollfd entry{connection, POLLIN, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    ssize_t count = ::recv(connection, buffer, sizeof(buffer), 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    if (pending.empty()) deadline = Clock::now() + delegate_.limits.lineCompletes;
    pending.append(buffer, static_cast<std::size_t>(count));
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string_view line(pending.data() + start, end - start);
      if (line.size() > maxHelperLineLength) return;
      if (!sendAll(connection, handleRequestLine(line, service, authorize) + "\n")) return;
      deadline = Clock::now() + delegate_.limits.silence;
    }
    pending.erase(0, start);
    if (pending.size() > maxHelperLineLength) return;
    // Bytes left over begin the next line, whose own clock starts now.
    if (start > 0 && !pending.empty()) deadline = Clock::now() + delegate_.limits.lineCompletes;
  }
}

}  // namespace brimwell
