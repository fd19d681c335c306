#include "brimwell/core/storage/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace brimwell {

std::string sizeInWords(std::size_t bytes) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

namespace {

enum class Beyond { refuse, cut };

// The bytes of the regular file open as `fd`, at most `limit` of them; `beyond` says whether a
// longer file is refused or read as if it ended there.
Result<std::string> readRegular(int fd, const std::filesystem::path& path, std::size_t limit,
                                Beyond beyond) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return failPosix(errno);
  if (!S_ISREG(info.st_mode)) {
    return fail("The file " + path.string() + " isn't a regular file.", EINVAL);
  }
  const auto tooLarge = [&] {
    return fail("The file " + path.string() + " holds more than " + sizeInWords(limit) + ".",
                EFBIG);
  };
  const auto size = static_cast<std::uintmax_t>(std::max<off_t>(info.st_size, 0));
  if (beyond == Beyond::refuse && size > limit) return tooLarge();
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(size, limit)));

  // Read until end of file rather than trusting the size: the file may grow or shrink meanwhile.
  char buffer[1 << 16];
  for (;;) {
    const std::size_t room = beyond == Beyond::cut ? limit - bytes.size() : sizeof buffer;
    if (room == 0) return bytes;
    const ssize_t n = ::read(fd, buffer, std::min(room, sizeof buffer));
    if (n > 0) {
      if (bytes.size() + static_cast<std::size_t>(n) > limit) return tooLarge();
      bytes.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      return bytes;
    } else if (errno != EINTR) {
      return failPosix(errno);
    }
  }
}

Result<std::string> openAndRead(const std::filesystem::path& path, std::size_t limit,
                                Beyond beyond) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failPosix(errno);
  auto bytes = readRegular(fd, path, limit, beyond);
  ::close(fd);
  return bytes;
}

}  // namespace

Result<std::string> readOpenFile(int fd, const std::filesystem::path& path, std::size_t limit) {
  return readRegular(fd, path, limit, Beyond::refuse);
}

Result<std::string> readFile(const std::filesystem::path& path, std::size_t limit) {
  return openAndRead(path, limit, Beyond::refuse);
}

Result<std::string> readFileHead(const std::filesystem::path& path, std::size_t limit) {
  return openAndRead(path, limit, Beyond::cut);
}

std::optional<std::string> readFileIfReadable(const std::filesystem::path& path,
                                              std::size_t limit) {
  auto bytes = readFile(path, limit);
  if (!bytes) return std::nullopt;
  return std::move(*bytes);
}

}  // namespace brimwell
