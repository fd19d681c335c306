#include "linux/capture/browser_sessions.h"

#include <unistd.h>

#include <system_error>

#include "linux/capture/firefox_sessions.h"
#include "linux/user_home.h"

namespace brimwell {

FirefoxSessionSource::FirefoxSessionSource(std::filesystem::path home,
                                           std::unique_ptr<ProcessTable> processes, uid_t user)
    : home_(std::move(home)), processes_(std::move(processes)), user_(user) {}

std::unique_ptr<FirefoxSessionSource> FirefoxSessionSource::forCurrentUser() {
  return std::make_unique<FirefoxSessionSource>(currentUserHome().value_or(""),
                                                std::make_unique<ProcProcessTable>(), ::getuid());
}

bool FirefoxSessionSource::firefoxRunning() {
  for (const auto& process : processes_->processes()) {
    if (process.owner != user_) continue;
    const auto executable = processes_->executable(process.pid);
    if (!executable) continue;
    const auto name = std::filesystem::path(*executable).filename();
    if (name == "firefox" || name == "firefox-esr") return true;
  }
  return false;
}

std::vector<BrowserRecord> FirefoxSessionSource::browsers() {
  const auto profiles = home_.empty() ? std::nullopt : firefoxProfiles(home_);
  if (!profiles) return {};
  BrowserRecord record{.browser = BrowserKind::firefox};
  if (!firefoxRunning()) {
    record.status = CaptureStatus::notRunning;
    return {record};
  }
  bool readAny = false;
  for (const auto& profile : *profiles) {
    const auto file = recoverySessionFile(profile);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) continue;
    auto windows = readFirefoxSession(file);
    if (!windows) return {{.browser = BrowserKind::firefox, .status = CaptureStatus::failed}};
    record.windows.insert(record.windows.end(), windows->begin(), windows->end());
    readAny = true;
  }
  if (!readAny) record.status = CaptureStatus::failed;
  return {record};
}

}  // namespace brimwell
