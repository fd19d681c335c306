#include "brimwell/core/storage/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace brimwell {
namespace {

class PosixFileSystem final : public FileSystem {
 public:
  Status createDirectories(const std::filesystem::path& directory) override {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) return fail(error.message(), error.value());
    return {};
  }

  Result<int> createExclusive(const std::filesystem::path& path) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return failPosix(errno);
    return fd;
  }

  Result<std::size_t> write(int fd, const char* data, std::size_t size) override {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) return failPosix(errno);
    return static_cast<std::size_t>(written);
  }

  Status close(int fd) override {
    if (::close(fd) != 0) return failPosix(errno);
    return {};
  }

  Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return failPosix(errno);
    return {};
  }

  void remove(const std::filesystem::path& path) override { ::unlink(path.c_str()); }

  Result<int> openDirectory(const std::filesystem::path& directory) override {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return failPosix(errno);
    return fd;
  }
};

}  // namespace

FileSystem& FileSystem::posix() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace brimwell
