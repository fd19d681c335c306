#include "helper/helper_record_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>

#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

Unexpected<HelperRecordError> failed(const char* step, int error) {
  return Unexpected(HelperRecordError{std::string(step) + ": " + std::to_string(error)});
}

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string newTemporaryName() {
  uuid_t id;
  uuid_generate_random(id);
  char text[37];
  uuid_unparse_upper(id, text);
  return std::string(".helper-state.") + text + ".tmp";
}

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// The record's directory, opened without following a link, when `owner` owns it and nobody else
// may write it (else another user could swap the record under the daemon); -1 with errno else.
int openTrustedDirectory(const std::string& path, uid_t owner) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || status.st_uid != owner || (status.st_mode & 022) != 0) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  return fd;
}

}  // namespace

HelperRecordStore::HelperRecordStore(std::string path, uid_t owner)
    : path_(std::move(path)), owner_(owner) {}

HelperRecord HelperRecordStore::load() const {
  Descriptor directory{openTrustedDirectory(directoryOf(path_), owner_)};
  if (directory.fd < 0) return {};
  Descriptor file{::openat(directory.fd, fileNameOf(path_).c_str(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) return {};
  // Judged on what was opened, so nothing can be swapped in between the check and the read.
  struct stat status {};
  if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != owner_ ||
      (status.st_mode & 077) != 0) {
    return {};
  }
  const auto text = readOpenFile(file.fd, path_, kSmallFileLimit);
  if (!text) return {};
  return decodeHelperRecord(*text).value_or(HelperRecord{});
}

Expected<void, HelperRecordError> HelperRecordStore::save(const HelperRecord& record) const {
  const std::string directoryPath = directoryOf(path_);
  const std::string name = fileNameOf(path_);
  if (!record.isEmpty() && ::mkdir(directoryPath.c_str(), 0755) != 0 && errno != EEXIST) {
    return failed("mkdir", errno);
  }
  Descriptor directory{openTrustedDirectory(directoryPath, owner_)};
  if (directory.fd < 0) {
    if (record.isEmpty() && errno == ENOENT) return {};
    return failed("open", errno);
  }
  if (record.isEmpty()) {
    if (::unlinkat(directory.fd, name.c_str(), 0) != 0 && errno != ENOENT) {
      return failed("unlink", errno);
    }
    if (::fsync(directory.fd) != 0) return failed("write", errno);
    return {};
  }

  const std::string bytes = encodeHelperRecord(record);
  const std::string temporary = newTemporaryName();
  Descriptor file{::openat(directory.fd, temporary.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
  if (file.fd < 0) return failed("open", errno);

  auto abandon = [&](int error) {
    ::unlinkat(directory.fd, temporary.c_str(), 0);
    return failed("write", error);
  };
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t count = ::write(file.fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return abandon(count < 0 ? errno : EIO);
    written += static_cast<std::size_t>(count);
  }
  if (::fchmod(file.fd, 0600) != 0) return abandon(errno);
  if (::fsync(file.fd) != 0) return abandon(errno);
  if (::renameat(directory.fd, temporary.c_str(), directory.fd, name.c_str()) != 0) {
    return abandon(errno);
  }
  // The rename itself must reach the disk: Safe Landing exists for the power loss that follows.
  if (::fsync(directory.fd) != 0) return failed("write", errno);
  return {};
}

}  // namespace brimwell
