#include "brimwell/core/storage/brimwell_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <vector>

namespace brimwell {

std::filesystem::path BrimwellPaths::rescueFolder(Date date, const TimeZone& timeZone) const {
  const auto local = std::chrono::floor<std::chrono::seconds>(date) + timeZone.utcOffset(date);
  const auto day = std::chrono::floor<std::chrono::days>(local);
  const std::chrono::year_month_day ymd{day};
  const std::chrono::hh_mm_ss time{local - day};
  char name[32];
  std::snprintf(name, sizeof name, "%04d-%02u-%02u %02d%02d", int(ymd.year()),
                unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                int(time.minutes().count()));
  return rescueRoot / name;
}

BrimwellPaths BrimwellPaths::standard(const std::filesystem::path& home) {
  return {home / "Library/Application Support/Brimwell", home / "Documents/Brimwell Rescued"};
}

Result<BrimwellPaths> BrimwellPaths::resolve(const std::map<std::string, std::string>&) {
  const uid_t uid = ::getuid();
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  int error;
  while ((error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] == '\0') {
    return fail("There is no home directory for user " + std::to_string(uid) + ".");
  }
  return standard(found->pw_dir);
}

}  // namespace brimwell
