#include "helper/peer_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "brimwell/core/base/plain_decimal.h"

#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77  // Linux 6.5; older kernels refuse it and the pid is pinned right after
#endif

namespace brimwell {
namespace {

std::optional<std::string> readStat(pid_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/stat";
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char buffer[1024];
  ssize_t count;
  while ((count = ::read(fd, buffer, sizeof(buffer))) < 0 && errno == EINTR) {
  }
  ::close(fd);
  if (count <= 0) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(count));
}

}  // namespace

PeerProcess::~PeerProcess() {
  if (pidfd_ >= 0) ::close(pidfd_);
}

PeerProcess::PeerProcess(PeerProcess&& other) noexcept
    : pid_(other.pid_), uid_(other.uid_), startTime_(other.startTime_), pidfd_(other.pidfd_) {
  other.pidfd_ = -1;
}

bool PeerProcess::running() const {
  return ::syscall(SYS_pidfd_send_signal, pidfd_, 0, nullptr, 0) == 0 || errno == EPERM;
}

std::optional<std::uint64_t> startTimeInStat(std::string_view stat) {
  auto close = stat.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  // Fields 3 and on follow the command name; the start time is the 20th of them.
  std::string_view rest = stat.substr(close + 1);
  for (int field = 0; field < 20; ++field) {
    while (rest.starts_with(' ')) rest.remove_prefix(1);
    auto end = rest.find(' ');
    if (field == 19) {
      std::string_view text = rest.substr(0, end);
      auto number = parsePlainDecimal(text);
      if (!number || *number < 0 || text.starts_with('+')) return std::nullopt;
      return static_cast<std::uint64_t>(*number);
    }
    if (end == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(end);
  }
  return std::nullopt;
}

Result<PeerProcess> pinPeerProcess(int fd) {
  struct ucred credentials {};
  socklen_t length = sizeof(credentials);
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
    return failPosix(errno);
  }
  int pidfd = -1;
  length = sizeof(pidfd);
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERPIDFD, &pidfd, &length) != 0) {
    pidfd = static_cast<int>(::syscall(SYS_pidfd_open, credentials.pid, 0));
  }
  if (pidfd < 0) return fail("the process that connected has ended");
  ::fcntl(pidfd, F_SETFD, FD_CLOEXEC);
  PeerProcess pinned(credentials.pid, credentials.uid, 0, pidfd);
  auto stat = readStat(credentials.pid);
  auto start = stat ? startTimeInStat(*stat) : std::nullopt;
  // Read while the pidfd held the process, so the stat belonged to it and not to a successor.
  if (!start || !pinned.running()) return fail("the process that connected has ended");
  pinned.startTime_ = *start;
  return pinned;
}

}  // namespace brimwell
