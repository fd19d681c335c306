#include "brimwell/core/storage/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brimwell {

std::string sizeInWords(std::size_t bytes) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

Result<std::string> readOpenFile(int fd, const std::filesystem::path& path, std::size_t limit) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return failPosix(errno);
  if (!S_ISREG(info.st_mode)) {
    return fail("The file " + path.string() + " isn't a regular file.", EINVAL);
  }
  const auto tooLarge = [&] {
    return fail("The file " + path.string() + " holds more than " + sizeInWords(limit) + ".",
                EFBIG);
  };
  if (info.st_size > 0 && static_cast<std::uintmax_t>(info.st_size) > limit) return tooLarge();
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));

  // Read until end of file rather than trusting the size: the file may grow or shrink meanwhile.
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
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

Result<std::string> readFile(const std::filesystem::path& path, std::size_t limit) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failPosix(errno);
  auto bytes = readOpenFile(fd, path, limit);
  ::close(fd);
  return bytes;
}

std::optional<std::string> readFileIfReadable(const std::filesystem::path& path,
                                              std::size_t limit) {
  auto bytes = readFile(path, limit);
  if (!bytes) return std::nullopt;
  return std::move(*bytes);
}

}  // namespace brimwell
