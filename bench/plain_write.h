// The baseline the storage benchmarks time the atomic writer against: the same bytes written with
// write + fsync + rename, and optionally with the directory flush that makes the rename durable.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace brimwell::bench {

// Writes `data` to `temporary`, flushes it and renames it over `target`; with `flushDirectory`
// also flushes `target`'s directory. Aborts on a failed write: the timing would mean nothing.
inline void plainWrite(std::string_view data, const std::filesystem::path& temporary,
                       const std::filesystem::path& target, bool flushDirectory) {
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t count = ::write(fd, data.data() + done, data.size() - done);
    if (count <= 0) std::abort();
    done += static_cast<std::size_t>(count);
  }
  ::fsync(fd);
  ::close(fd);
  ::rename(temporary.c_str(), target.c_str());
  if (flushDirectory) {
    const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_CLOEXEC);
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace brimwell::bench
