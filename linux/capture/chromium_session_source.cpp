#include "linux/capture/chromium_session_source.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <system_error>

#include "brimwell/core/storage/read_file.h"
#include "linux/capture/chromium_family.h"
#include "linux/capture/chromium_sessions.h"
#include "linux/xdg_locations.h"

namespace brimwell {
namespace {

constexpr std::size_t kMaxLocalStateBytes = 16u << 20;

// The session files a browser keeps open: its profiles' current ones.
std::vector<std::filesystem::path> heldSessionFiles(ProcessTable& processes,
                                                    const std::vector<int>& pids) {
  std::vector<std::filesystem::path> files;
  for (const int pid : pids) {
    for (const auto& open : processes.openFiles(pid)) {
      const std::filesystem::path file(open);
      if (file.parent_path().filename() != "Sessions") continue;
      if (!isSessionFileName(file.filename().string())) continue;
      if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
    }
  }
  return files;
}

// The newest session file of every profile.
std::vector<std::filesystem::path> profileSessionFiles(const std::filesystem::path& userData) {
  std::vector<std::filesystem::path> files;
  for (const auto& profile : chromiumProfileFolders(userData)) {
    if (auto file = newestSessionFile(profile)) files.push_back(std::move(*file));
  }
  return files;
}

}  // namespace

std::vector<std::filesystem::path> chromiumProfileFolders(const std::filesystem::path& userData) {
  auto names = parseLocalStateProfiles(
      readFileIfReadable(userData / "Local State", kMaxLocalStateBytes).value_or(""));
  if (names.empty()) names.push_back("Default");
  std::vector<std::filesystem::path> folders;
  for (const auto& name : names) folders.push_back(userData / name);
  return folders;
}

ChromiumSessionSource::ChromiumSessionSource(std::filesystem::path configHome,
                                             std::unique_ptr<ProcessTable> processes, uid_t user)
    : configHome_(std::move(configHome)), processes_(std::move(processes)), user_(user) {}

std::unique_ptr<ChromiumSessionSource> ChromiumSessionSource::forCurrentUser() {
  return std::make_unique<ChromiumSessionSource>(currentUserConfigHome().value_or(""),
                                                 std::make_unique<ProcProcessTable>(), ::getuid());
}

std::vector<BrowserRecord> ChromiumSessionSource::browsers() {
  // Every process of the user per kind, then the browsers' own: those whose parent is not of the
  // same kind (their zygotes and renderers are).
  std::map<BrowserKind, std::map<int, int>> processesOf;  // pid → parent
  for (const auto& process : processes_->processes()) {
    if (process.owner != user_) continue;
    const auto executable = processes_->executable(process.pid);
    if (!executable) continue;
    if (const auto kind = chromiumKindOfExecutable(*executable)) {
      processesOf[*kind][process.pid] = process.parent;
    }
  }
  std::vector<BrowserRecord> records;
  for (const BrowserKind kind : kChromiumFamily) {
    std::vector<int> browserPids;
    for (const auto& [pid, parent] : processesOf[kind]) {
      if (!processesOf[kind].count(parent)) browserPids.push_back(pid);
    }
    const auto userData = configHome_.empty() ? std::filesystem::path()
                                              : configHome_ / std::string(userDataFolder(kind));
    if (browserPids.empty()) {
      std::error_code error;
      if (!userData.empty() && std::filesystem::is_directory(userData, error)) {
        records.push_back({.browser = kind, .status = CaptureStatus::notRunning});
      }
      continue;
    }
    auto files = heldSessionFiles(*processes_, browserPids);
    if (files.empty() && !userData.empty()) files = profileSessionFiles(userData);
    BrowserRecord record{.browser = kind,
                         .status = files.empty() ? CaptureStatus::failed : CaptureStatus::ok};
    for (const auto& file : files) {
      auto windows = readChromiumSession(file);
      if (!windows) {
        record = {.browser = kind, .status = CaptureStatus::failed};
        break;
      }
      record.windows.insert(record.windows.end(), windows->begin(), windows->end());
    }
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace brimwell
