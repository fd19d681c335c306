#include "linux/xdg_locations.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "brimwell/core/storage/read_file.h"
#include "linux/user_home.h"

namespace brimwell {
namespace {

// The directory a variable names, when it is set to an absolute path.
std::optional<std::filesystem::path> absoluteVariable(
    const std::map<std::string, std::string>& environment, const std::string& name) {
  auto found = environment.find(name);
  if (found == environment.end() || found->second.empty() || found->second[0] != '/') {
    return std::nullopt;
  }
  return std::filesystem::path(found->second);
}

// The value of a shell-style assignment's right-hand side: double quotes removed, a backslash
// taking the next character as it is.
std::string unquote(std::string_view value) {
  std::string text;
  bool quoted = false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && i + 1 < value.size()) {
      text += value[++i];
    } else if (!quoted && (c == ' ' || c == '\t' || c == '#')) {
      break;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace

std::filesystem::path configHome(const std::filesystem::path& home,
                                 const std::map<std::string, std::string>& environment) {
  return absoluteVariable(environment, "XDG_CONFIG_HOME").value_or(home / ".config");
}

std::optional<std::filesystem::path> currentUserConfigHome() {
  const auto home = currentUserHome();
  if (!home) return std::nullopt;
  return configHome(*home, XdgLocations::processEnvironment());
}

std::optional<std::filesystem::path> documentsDirectory(std::string_view userDirs,
                                                        const std::filesystem::path& home) {
  constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
  std::optional<std::filesystem::path> found;
  while (!userDirs.empty()) {
    const std::size_t end = userDirs.find('\n');
    std::string_view line = userDirs.substr(0, end);
    userDirs = end == std::string_view::npos ? std::string_view() : userDirs.substr(end + 1);
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (!line.starts_with(key)) continue;
    const std::string value = unquote(line.substr(key.size()));
    if (value == "$HOME") {
      found = home;
    } else if (value.starts_with("$HOME/")) {
      found = home / value.substr(6);
    } else if (value.starts_with("/")) {
      found = std::filesystem::path(value);
    }
  }
  return found;
}

XdgLocations XdgLocations::under(const std::filesystem::path& home,
                                 const std::map<std::string, std::string>& environment,
                                 std::string_view userDirs) {
  const auto state =
      absoluteVariable(environment, "XDG_STATE_HOME").value_or(home / ".local/state");
  const auto documents = documentsDirectory(userDirs, home).value_or(home / "Documents");
  return {BrimwellPaths{state / "brimwell", documents / "Brimwell Rescued"},
          configHome(home, environment) / "brimwell" / "settings.json"};
}

Result<XdgLocations> XdgLocations::resolve(const std::map<std::string, std::string>& environment) {
  const auto variable = environment.find("HOME");
  const auto home = userHome(
      variable == environment.end() ? std::nullopt : std::optional(variable->second), ::getuid());
  if (!home) return fail("There is no home directory for user " + std::to_string(::getuid()) + ".");
  // A missing or unreadable user-dirs.dirs leaves the documents folder at its default.
  auto userDirs = readFile(configHome(*home, environment) / "user-dirs.dirs");
  return under(*home, environment, userDirs ? *userDirs : std::string());
}

std::map<std::string, std::string> XdgLocations::processEnvironment() {
  std::map<std::string, std::string> environment;
  for (const char* name : {"HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"}) {
    if (const char* value = std::getenv(name)) environment[name] = value;
  }
  return environment;
}

}  // namespace brimwell
