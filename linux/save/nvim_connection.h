// NvimConnection: one MessagePack-RPC conversation with a Neovim server over its Unix socket.
// Every call has a deadline: connecting, sending and waiting for the answer all stop at it, and
// an answer larger than kMaxAnswer bytes ends the conversation. Notifications and requests the
// server sends meanwhile are read and dropped. Movable, not copyable; one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "brimwell/core/base/error.h"
#include "linux/save/msgpack.h"

namespace brimwell {

class NvimConnection {
 public:
  using Deadline = std::chrono::steady_clock::time_point;
  static constexpr std::size_t kMaxAnswer = 64u << 20;

  // Connects to the server listening at `socketPath`.
  static Result<NvimConnection> open(const std::string& socketPath, Deadline deadline);

  NvimConnection(NvimConnection&& other) noexcept;
  NvimConnection& operator=(NvimConnection&& other) noexcept;
  NvimConnection(const NvimConnection&) = delete;
  NvimConnection& operator=(const NvimConnection&) = delete;
  ~NvimConnection();

  // The result of `method` with `args`. Fails with code ETIMEDOUT past the deadline, with the
  // server's own message when it refuses the call, and with EBADMSG on an answer it can't read;
  // after a failure other than the server's refusal the connection is closed.
  Result<MsgValue> call(const std::string& method, MsgArray args, Deadline deadline);

 private:
  explicit NvimConnection(int fd) : fd_(fd) {}
  Status send(const std::string& bytes, Deadline deadline);
  Result<MsgValue> receive(Deadline deadline);
  void close();

  int fd_ = -1;
  std::uint32_t nextID_ = 1;
  std::string pending_;  // bytes read past the last message
};

}  // namespace brimwell
