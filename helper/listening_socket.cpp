#include "helper/listening_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "brimwell/core/base/plain_decimal.h"

namespace brimwell {

Result<std::optional<int>> activatedSocket() {
  const char* pid = std::getenv("LISTEN_PID");
  const char* count = std::getenv("LISTEN_FDS");
  std::optional<std::int64_t> listenPid = pid ? parsePlainDecimal(pid) : std::nullopt;
  std::optional<std::int64_t> listenFds = count ? parsePlainDecimal(count) : std::nullopt;
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
  if (!listenPid || *listenPid != ::getpid() || !listenFds || *listenFds < 1) {
    return std::optional<int>();
  }
  const int fd = 3;  // the first descriptor the service manager passes
  int accepting = 0;
  socklen_t length = sizeof(accepting);
  if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &length) != 0 || accepting == 0) {
    return fail("The socket passed to the Brimwell helper is not a listening socket.");
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return std::optional<int>(fd);
}

Result<int> bindSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    return fail("The socket path " + path + " is too long.");
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0) {
    if (!S_ISSOCK(status.st_mode)) return fail(path + " exists and is not a socket.");
    ::unlink(path.c_str());
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return failPosix(errno);
  // The socket is born with its final mode (any local user may connect; every call is then
  // authorised on its own), so there is no moment at which it exists with another. The daemon
  // binds before it starts any thread that could create files under the changed mask.
  const mode_t previousMask = ::umask(0111);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  const int bindError = errno;
  ::umask(previousMask);
  if (!bound || ::listen(fd, 64) != 0) {
    int error = bound ? errno : bindError;
    ::close(fd);
    return failPosix(error);
  }
  return fd;
}

}  // namespace brimwell
