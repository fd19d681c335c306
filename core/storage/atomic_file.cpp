#include "brimwell/core/storage/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>

namespace brimwell::AtomicFile {
namespace {

Status writeAll(FileSystem& fileSystem, int fd, std::string_view data) {
  while (!data.empty()) {
    auto written = fileSystem.write(fd, data.data(), data.size());
    if (!written) {
      if (written.error().code() == EINTR) continue;
      return Unexpected(std::move(written).error());
    }
    data.remove_prefix(*written);
  }
  return {};
}

std::string randomUUID() {
  uuid_t uuid;
  uuid_generate_random(uuid);
  char text[37];
  uuid_unparse_upper(uuid, text);
  return text;
}

}  // namespace

Status fullSync(int fd) {
#ifdef F_FULLFSYNC
  if (::fcntl(fd, F_FULLFSYNC) == 0) return {};
#endif
  if (::fsync(fd) != 0) return failPosix(errno);
  return {};
}

std::filesystem::path temporaryPath(const std::filesystem::path& url) {
  return url.parent_path() / ("." + url.filename().string() + "." + randomUUID() + ".tmp");
}

Status writeProduced(const Producer& produce, const std::filesystem::path& url,
                     const SyncFunction& sync, FileSystem& fileSystem) {
  const std::filesystem::path directory = url.has_parent_path() ? url.parent_path() : ".";
  if (auto created = fileSystem.createDirectories(directory); !created) return created;

  const std::filesystem::path temporary = temporaryPath(url);
  auto fd = fileSystem.createExclusive(temporary);
  if (!fd) return Unexpected(std::move(fd).error());

  Status written =
      produce([&](std::string_view bytes) { return writeAll(fileSystem, *fd, bytes); });
  if (written) written = sync(*fd);
  if (!written) {
    (void)fileSystem.close(*fd);
    fileSystem.remove(temporary);
    return written;
  }
  if (auto closed = fileSystem.close(*fd); !closed) {
    fileSystem.remove(temporary);
    return closed;
  }
  if (auto renamed = fileSystem.rename(temporary, url); !renamed) {
    fileSystem.remove(temporary);
    return renamed;
  }

  // The rename is only durable once the directory entry is flushed. The write has already
  // succeeded, so a failure here changes nothing for the caller.
  if (auto dir = fileSystem.openDirectory(directory)) {
    (void)fullSync(*dir);
    (void)fileSystem.close(*dir);
  }
  return {};
}

Status write(std::string_view data, const std::filesystem::path& url, const SyncFunction& sync,
             FileSystem& fileSystem) {
  return writeProduced([data](const ByteSink& sink) { return sink(data); }, url, sync, fileSystem);
}

Status write(std::string_view data, const std::filesystem::path& url) {
  return write(data, url, fullSync);
}

}  // namespace brimwell::AtomicFile
