#include "brimwell/core/snapshots/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "brimwell/core/snapshots/long_string_skipper.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

// Pieces small enough to stay in the processor's cache between the read and the scan.
constexpr std::size_t kPiece = 256 * 1024;

// The file's bytes, passed through `skipper` a piece at a time when there is one. The buffer has
// room for the whole file but is not zero-filled: only the pages the text reaches are touched.
std::optional<FileBytes> readFile(const std::filesystem::path& path, LongStringSkipper* skipper) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer that may never come.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  FileBytes bytes;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
            static_cast<std::uintmax_t>(status.st_size) <= kSnapshotFileLimit;
  std::size_t room = ok ? static_cast<std::size_t>(status.st_size) + 1 : 0;  // +1 detects growth
  if (ok) bytes.data = std::make_unique_for_overwrite<char[]>(room + FileBytes::padding);
  std::size_t consumed = 0;  // bytes read, before any shortening
  while (ok) {
    if (consumed > kSnapshotFileLimit) {  // the file grew past the limit while being read
      ok = false;
      break;
    }
    if (bytes.size == room) {  // the file grew since fstat: move to a buffer twice as large
      auto larger = std::make_unique_for_overwrite<char[]>(room * 2 + FileBytes::padding);
      std::memcpy(larger.get(), bytes.data.get(), bytes.size);
      bytes.data = std::move(larger);
      room *= 2;
    }
    const std::size_t wanted = skipper ? std::min(kPiece, room - bytes.size) : room - bytes.size;
    const ssize_t count = ::read(fd, bytes.data.get() + bytes.size, wanted);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) ok = false;
    if (count <= 0) break;
    consumed += static_cast<std::size_t>(count);
    const std::size_t end = bytes.size + static_cast<std::size_t>(count);
    bytes.size = skipper ? skipper->scan(bytes.data.get(), bytes.size, end) : end;
    if (skipper && !skipper->faithful()) break;
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  bytes.allocated = bytes.size + FileBytes::padding;
  bytes.shortened = skipper && skipper->shortened();
  std::memset(bytes.data.get() + bytes.size, 0, FileBytes::padding);
  return bytes;
}

}  // namespace

std::optional<FileBytes> FileBytes::read(const std::filesystem::path& path) {
  return readFile(path, nullptr);
}

std::optional<FileBytes> FileBytes::readSkippingLongStrings(const std::filesystem::path& path,
                                                            std::size_t longString) {
  LongStringSkipper skipper(longString);
  auto bytes = readFile(path, &skipper);
  if (bytes && !skipper.faithful()) return read(path);
  return bytes;
}

}  // namespace brimwell
