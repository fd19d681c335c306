// A stream socket to a program of this session (a compositor's IPC, a terminal's remote
// control), every wait on it bounded by one deadline, so a peer that stalls costs a bounded wait.
// Sentences name the peer as the caller calls it ("The window manager", "kitty").
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"

namespace brimwell {

class LocalStream {
 public:
  using Clock = std::chrono::steady_clock;

  // Connects to the socket at `path`; a path that starts with '@' names an abstract socket.
  static Result<LocalStream> connect(std::string_view path, std::string peer, double timeout);
  ~LocalStream();
  LocalStream(LocalStream&& other) noexcept;
  LocalStream& operator=(LocalStream&&) = delete;
  LocalStream(const LocalStream&) = delete;

  Status send(std::string_view bytes);
  Status receiveExactly(char* into, std::size_t size);
  // Appends what arrives to `into` through the first `end`, dropping what follows it; fails once
  // `into` would pass `limit`.
  Status receiveThrough(std::string& into, std::string_view end, std::size_t limit);
  // The user the peer's process ran as when it made the socket.
  std::optional<uid_t> peerUser() const;

 private:
  LocalStream(int fd, std::string peer, Clock::time_point deadline)
      : fd_(fd), peer_(std::move(peer)), deadline_(deadline) {}
  Status ready(short events);
  Result<std::size_t> receiveSome(char* into, std::size_t size);

  int fd_;
  std::string peer_;
  Clock::time_point deadline_;
};

}  // namespace brimwell
