#include "core/storage/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brimwell {

Result<std::string> readFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failPosix(errno);
  struct stat info {};
  std::string bytes;
  if (::fstat(fd, &info) == 0 && info.st_size > 0)
    bytes.reserve(static_cast<std::size_t>(info.st_size));

  // Read until end of file rather than trusting the size: the file may grow or shrink meanwhile.
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      return failPosix(error);
    }
  }
  ::close(fd);
  return bytes;
}

}  // namespace brimwell
