// PeerProcess: the process at the other end of a connection, pinned so that its pid cannot come
// to stand for another process: the kernel's credentials of the connecting process, a pidfd on
// it, and its start time (what polkit identifies a process by). Move-only; owns the pidfd.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "brimwell/core/base/error.h"

namespace brimwell {

class PeerProcess {
 public:
  PeerProcess(pid_t pid, uid_t uid, std::uint64_t startTime, int pidfd)
      : pid_(pid), uid_(uid), startTime_(startTime), pidfd_(pidfd) {}
  ~PeerProcess();
  PeerProcess(PeerProcess&& other) noexcept;
  PeerProcess& operator=(PeerProcess&&) = delete;
  PeerProcess(const PeerProcess&) = delete;

  pid_t pid() const { return pid_; }
  uid_t uid() const { return uid_; }
  // In clock ticks since boot, as /proc/PID/stat gives it.
  std::uint64_t startTime() const { return startTime_; }
  // False once the pinned process has ended, even when its pid has been given to another.
  bool running() const;

 private:
  friend Result<PeerProcess> pinPeerProcess(int fd);
  pid_t pid_;
  uid_t uid_;
  std::uint64_t startTime_;
  int pidfd_;
};

// The process that connected the socket `fd`, pinned at the time of the call.
Result<PeerProcess> pinPeerProcess(int fd);

// The start time in a /proc/PID/stat line: the 22nd field, counted after the command name in
// parentheses (which may itself hold spaces and parentheses).
std::optional<std::uint64_t> startTimeInStat(std::string_view stat);

}  // namespace brimwell
