#include "linux/user_home.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace brimwell {

std::optional<std::filesystem::path> userHome(const std::optional<std::string>& homeVariable,
                                              uid_t user) {
  if (homeVariable && homeVariable->starts_with('/')) return std::filesystem::path(*homeVariable);
  const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') return std::nullopt;
  return std::filesystem::path(found->pw_dir);
}

std::optional<std::filesystem::path> currentUserHome() {
  const char* home = std::getenv("HOME");
  return userHome(home ? std::optional<std::string>(home) : std::nullopt, ::getuid());
}

}  // namespace brimwell
