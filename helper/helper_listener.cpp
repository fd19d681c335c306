#include "helper/helper_listener.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "core/helper/helper_wire.h"
#include "helper/helper_service.h"
#include "helper/request_handler.h"

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
    // Counted before the next accept, so the idle timer cannot end the process under it.
    if (delegate_.idle) delegate_.idle->connectionOpened();
    reapFinished();
    std::lock_guard guard(lock_);
    connections_.insert(connection);
    threads_.emplace_back([this, connection] { serve(connection); });
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

void HelperListener::serve(int connection) {
  // A peer that stops reading cannot hold this thread for ever.
  timeval sendLimit{10, 0};
  ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof(sendLimit));

  auto peer = readPeerIdentity(connection);
  std::optional<std::string> refused =
      peer ? whyRefused(*peer, delegate_.clientRequirement)
           : std::optional<std::string>("its identity cannot be read");
  if (refused) {
    HelperReply reply;
    reply.message = "The Brimwell helper serves only the Brimwell application (" + *refused + ").";
    sendAll(connection, encodeReply(reply) + "\n");
  } else {
    HelperService service(delegate_.runner, delegate_.store, delegate_.version, delegate_.pmset);
    std::string pending;
    char buffer[16384];
    bool open = true;
    while (open) {
      ssize_t count = ::recv(connection, buffer, sizeof(buffer), 0);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) break;
      pending.append(buffer, static_cast<std::size_t>(count));
      std::size_t start = 0;
      for (std::size_t end; open && (end = pending.find('\n', start)) != std::string::npos;
           start = end + 1) {
        std::string_view line(pending.data() + start, end - start);
        if (line.size() > maxHelperLineLength) {
          open = false;
          break;
        }
        open = sendAll(connection, handleRequestLine(line, service) + "\n");
      }
      pending.erase(0, start);
      if (pending.size() > maxHelperLineLength) open = false;
    }
  }

  {
    std::lock_guard guard(lock_);
    connections_.erase(connection);
    ::close(connection);
    finished_.push_back(std::this_thread::get_id());
  }
  if (delegate_.idle) delegate_.idle->connectionClosed();
}

}  // namespace brimwell
