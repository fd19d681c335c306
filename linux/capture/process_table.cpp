#include "linux/capture/process_table.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <sstream>
#include <system_error>

#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

std::optional<std::string> linkTarget(const std::filesystem::path& link) {
  std::error_code error;
  auto target = std::filesystem::read_symlink(link, error);
  if (error) return std::nullopt;
  return target.string();
}

std::optional<int> parsePid(std::string_view text) {
  int pid = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (error != std::errc{} || end != text.data() + text.size() || pid <= 0) return std::nullopt;
  return pid;
}

}  // namespace

std::optional<ProcessEntry> parseProcStat(std::string_view stat) {
  // "PID (COMMAND) STATE PPID ...": the command may hold spaces and parentheses, so it ends at
  // the last ')'.
  const auto open = stat.find('(');
  const auto close = stat.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return std::nullopt;
  }
  const auto pid = parsePid(stat.substr(0, stat.find(' ')));
  std::istringstream rest{std::string(stat.substr(close + 1))};
  std::string state;
  int parent = -1;
  if (!pid || !(rest >> state >> parent) || parent < 0) return std::nullopt;
  return ProcessEntry{.pid = *pid,
                      .parent = parent,
                      .command = std::string(stat.substr(open + 1, close - open - 1))};
}

std::vector<ProcessEntry> ProcProcessTable::processes() {
  std::vector<ProcessEntry> entries;
  std::error_code error;
  // Incremented through the error-code overload: a listing that fails ends instead of throwing
  // on the capture's thread.
  for (std::filesystem::directory_iterator it(root_, error), end; !error && it != end;
       it.increment(error)) {
    const auto& item = *it;
    if (!parsePid(item.path().filename().string())) continue;
    const auto stat = readFileIfReadable(item.path() / "stat");
    struct stat owner {};
    if (!stat || ::stat(item.path().c_str(), &owner) != 0) continue;
    auto entry = parseProcStat(*stat);
    if (!entry) continue;
    entry->owner = owner.st_uid;
    entries.push_back(std::move(*entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return entries;
}

std::optional<std::string> ProcProcessTable::executable(int pid) {
  auto target = linkTarget(root_ / std::to_string(pid) / "exe");
  // An executable replaced while running reads "PATH (deleted)".
  constexpr std::string_view deleted = " (deleted)";
  if (target && target->ends_with(deleted)) target->resize(target->size() - deleted.size());
  return target;
}

std::optional<std::string> ProcProcessTable::environmentValue(int pid, std::string_view name) {
  const auto environment = readFileIfReadable(root_ / std::to_string(pid) / "environ");
  if (!environment) return std::nullopt;
  std::string_view rest = *environment;
  while (!rest.empty()) {
    const auto end = rest.find('\0');
    const auto variable = rest.substr(0, end);
    if (variable.size() > name.size() && variable.starts_with(name) &&
        variable[name.size()] == '=') {
      return std::string(variable.substr(name.size() + 1));
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return std::nullopt;
}

std::optional<std::string> ProcProcessTable::workingDirectory(int pid) {
  return linkTarget(root_ / std::to_string(pid) / "cwd");
}

std::vector<std::string> ProcProcessTable::openFiles(int pid) {
  std::vector<std::string> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(root_ / std::to_string(pid) / "fd", error), end;
       !error && it != end; it.increment(error)) {
    const auto& fd = *it;
    const auto target = linkTarget(fd.path());
    if (!target || !target->starts_with('/')) continue;  // sockets, pipes, anonymous inodes
    struct stat file {};
    if (::stat(target->c_str(), &file) != 0 || !S_ISREG(file.st_mode)) continue;
    if (std::find(files.begin(), files.end(), *target) == files.end()) files.push_back(*target);
  }
  return files;
}

}  // namespace brimwell
