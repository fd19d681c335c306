#include "helper/helper_record_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>

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

std::string newTemporaryName() {
  uuid_t id;
  uuid_generate_random(id);
  char text[37];
  uuid_unparse_upper(id, text);
  return std::string(".helper-state.") + text + ".tmp";
}

}  // namespace

HelperRecordStore::HelperRecordStore(std::string path, uid_t owner)
    : path_(std::move(path)), owner_(owner) {}

HelperRecord HelperRecordStore::load() const {
  struct stat status {};
  if (::lstat(path_.c_str(), &status) != 0) return {};
  if (!S_ISREG(status.st_mode)) return {};
  if (status.st_uid != owner_) return {};
  if ((status.st_mode & 077) != 0) return {};
  int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t count = ::read(fd, buffer, sizeof(buffer));
    if (count > 0) {
      text.append(buffer, static_cast<std::size_t>(count));
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else {
      if (count < 0) text.clear();
      break;
    }
  }
  ::close(fd);
  return decodeHelperRecord(text).value_or(HelperRecord{});
}

Expected<void, HelperRecordError> HelperRecordStore::save(const HelperRecord& record) const {
  if (record.isEmpty()) {
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) return failed("unlink", errno);
    return {};
  }
  const std::string directory = directoryOf(path_);
  if (::mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) return failed("mkdir", errno);

  const std::string bytes = encodeHelperRecord(record);
  const std::string temporary = directory + "/" + newTemporaryName();
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return failed("open", errno);

  auto abandon = [&](int error) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return failed("write", error);
  };
  ssize_t written = ::write(fd, bytes.data(), bytes.size());
  if (written < 0) return abandon(errno);
  if (static_cast<std::size_t>(written) != bytes.size()) return abandon(EIO);
  if (::fchmod(fd, 0600) != 0) return abandon(errno);
  bool flushed = false;
#ifdef F_FULLFSYNC
  flushed = ::fcntl(fd, F_FULLFSYNC) == 0;
#endif
  int flushError = 0;
  if (!flushed && ::fsync(fd) != 0) flushError = errno;
  ::close(fd);
  if (flushError != 0) {
    ::unlink(temporary.c_str());
    return failed("write", flushError);
  }
  if (::rename(temporary.c_str(), path_.c_str()) != 0) {
    int error = errno;
    ::unlink(temporary.c_str());
    return failed("write", error);
  }
  return {};
}

}  // namespace brimwell
