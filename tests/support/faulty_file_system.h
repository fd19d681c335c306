// A FileSystem for tests: passes every call to the real one unless told to fail a step, as a full
// disk, a failing close or a failing rename would.
#pragma once

#include <cerrno>
#include <optional>

#include "brimwell/core/storage/file_system.h"

namespace brimwell::testing {

class FaultyFileSystem : public FileSystem {
 public:
  std::optional<int> createDirectoriesError, createError, writeError, closeError, renameError;
  // Writes succeed until this many bytes have gone out, then fail with writeError (ENOSPC).
  std::optional<std::size_t> bytesBeforeDiskFull;
  // Each write call takes at most this many bytes, as a short write would.
  std::optional<std::size_t> maxBytesPerWrite;
  int interruptedWrites = 0;  // the next N write calls fail with EINTR
  int writeCalls = 0;

  Status createDirectories(const std::filesystem::path& directory) override {
    if (createDirectoriesError) return fail("Can't create the folder.", *createDirectoriesError);
    return real().createDirectories(directory);
  }
  Result<int> createExclusive(const std::filesystem::path& path) override {
    if (createError) return failPosix(*createError);
    return real().createExclusive(path);
  }
  Result<std::size_t> write(int fd, const char* data, std::size_t size) override {
    ++writeCalls;
    if (interruptedWrites > 0) {
      --interruptedWrites;
      return failPosix(EINTR);
    }
    if (writeError) return failPosix(*writeError);
    if (maxBytesPerWrite && size > *maxBytesPerWrite) size = *maxBytesPerWrite;
    if (bytesBeforeDiskFull) {
      if (*bytesBeforeDiskFull == 0) return failPosix(ENOSPC);
      if (size > *bytesBeforeDiskFull) size = *bytesBeforeDiskFull;
    }
    auto written = real().write(fd, data, size);
    if (written && bytesBeforeDiskFull) *bytesBeforeDiskFull -= *written;
    return written;
  }
  Status close(int fd) override {
    Status closed = real().close(fd);
    if (closeError) return failPosix(*closeError);
    return closed;
  }
  Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    if (renameError) return failPosix(*renameError);
    return real().rename(from, to);
  }
  void remove(const std::filesystem::path& path) override { real().remove(path); }
  Result<int> openDirectory(const std::filesystem::path& directory) override {
    return real().openDirectory(directory);
  }

 private:
  static FileSystem& real() { return FileSystem::posix(); }
};

}  // namespace brimwell::testing
