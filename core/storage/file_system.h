// FileSystem: the few file-system calls the atomic writer makes, behind one interface so tests can
// inject faults (a full disk, a failing close or rename) without root. FileSystem::posix() is the
// real one; it is stateless and safe to use from any thread.
#pragma once

#include <cstddef>
#include <filesystem>

#include "brimwell/core/base/error.h"

namespace brimwell {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates `directory` and every missing parent; an existing directory is fine.
  virtual Status createDirectories(const std::filesystem::path& directory) = 0;
  // Opens a new file write-only, failing if it exists (O_CREAT | O_EXCL | O_CLOEXEC, mode 0644).
  virtual Result<int> createExclusive(const std::filesystem::path& path) = 0;
  // One write(2) call: the number of bytes written, or the error (EINTR included).
  virtual Result<std::size_t> write(int fd, const char* data, std::size_t size) = 0;
  virtual Status close(int fd) = 0;
  virtual Status rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Unlinks `path`; failures are ignored.
  virtual void remove(const std::filesystem::path& path) = 0;
  // Opens a directory read-only, for flushing its entries.
  virtual Result<int> openDirectory(const std::filesystem::path& directory) = 0;

  static FileSystem& posix();
};

}  // namespace brimwell
