#include "linux/platform_profile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace brimwell {
namespace {

std::filesystem::path profileDirectory(const std::filesystem::path& sysfsRoot) {
  return sysfsRoot / "firmware" / "acpi";
}

std::optional<std::string> readText(const std::filesystem::path& file) {
  std::ifstream stream(file);
  if (!stream) return std::nullopt;
  std::ostringstream text;
  text << stream.rdbuf();
  if (stream.bad()) return std::nullopt;
  return text.str();
}

}  // namespace

std::optional<PlatformProfile> readPlatformProfile(const std::filesystem::path& sysfsRoot) {
  const auto active = readText(profileDirectory(sysfsRoot) / "platform_profile");
  const auto choices = readText(profileDirectory(sysfsRoot) / "platform_profile_choices");
  if (!active || !choices) return std::nullopt;
  PlatformProfile profile;
  std::istringstream(*active) >> profile.active;
  std::istringstream words(*choices);
  for (std::string choice; words >> choice;) profile.choices.push_back(choice);
  return profile;
}

Status writePlatformProfile(const std::filesystem::path& sysfsRoot, const std::string& name) {
  const auto file = profileDirectory(sysfsRoot) / "platform_profile";
  const std::string text = name + "\n";
  const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  ssize_t written = -1;
  int error = errno;
  if (fd >= 0) {
    written = ::write(fd, text.data(), text.size());
    error = errno;
    if (::close(fd) != 0 && written >= 0) {
      written = -1;
      error = errno;
    }
  }
  if (written != static_cast<ssize_t>(text.size())) {
    return fail("The platform profile couldn't be set to " + name + " (" +
                std::string(written < 0 ? std::strerror(error) : "short write") + ").");
  }
  return {};
}

}  // namespace brimwell
