#include "linux/private_file.h"

#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace brimwell {

PrivateFile::PrivateFile(std::string_view text, std::string_view suffix) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string name = std::string(runtime != nullptr && *runtime == '/' ? runtime : "/tmp") +
                     "/brimwell-XXXXXX" + std::string(suffix);
  // mkstemps makes the file 0600 and never follows a link an attacker left in /tmp.
  const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (fd < 0) return;
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + written, text.size() - written);
    if (wrote <= 0) break;
    written += static_cast<std::size_t>(wrote);
  }
  ::close(fd);
  if (written == text.size()) {
    path_ = std::move(name);
  } else {
    ::unlink(name.c_str());
  }
}

PrivateFile::~PrivateFile() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

PrivateFile::PrivateFile(PrivateFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}

}  // namespace brimwell
