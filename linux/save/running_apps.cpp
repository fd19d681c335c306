#include "linux/save/running_apps.h"

#include <algorithm>
#include <filesystem>

#include "linux/capture/app_identity.h"
#include "linux/capture/desktop_entry.h"
#include "linux/save/nvim_servers.h"

namespace brimwell {

bool isEmacsExecutable(const std::string& path) {
  const auto name = std::filesystem::path(path).filename().string();
  if (name == "emacs") return true;
  return name.rfind("emacs-", 0) == 0;
}

bool isVimExecutable(const std::string& path) {
  const auto name = std::filesystem::path(path).filename().string();
  return name == "vim" || name == "gvim" || name.rfind("vim.", 0) == 0;
}

std::vector<RunningApp> runningApps(const std::vector<ClientWindow>& windows,
                                    ProcessTable& processes, DesktopCatalog& catalog, uid_t user) {
  std::vector<RunningApp> apps;
  const auto appFor = [&](const std::string& bundleID, const std::string& name) -> RunningApp& {
    auto found = std::find_if(apps.begin(), apps.end(),
                              [&](const RunningApp& app) { return app.bundleID == bundleID; });
    if (found != apps.end()) return *found;
    return apps.emplace_back(RunningApp{.bundleID = bundleID, .name = name});
  };
  for (const auto& window : windows) {
    if (!window.pid) continue;
    const auto executable = processes.executable(*window.pid).value_or("");
    const ProgramFacts program{
        .executableName = std::filesystem::path(executable).filename().string(),
        .appClass = window.appClass,
        .appInstance = window.appInstance};
    if (isEmacsExecutable(executable)) {
      appFor(std::string(kEmacsBundleID), "Emacs").windows.push_back(window.id);
      continue;
    }
    if (isVimExecutable(executable)) {
      appFor(std::string(kVimBundleID), "Vim").windows.push_back(window.id);
      continue;
    }
    const auto* entry = matchDesktopEntry(catalog.entries(), program);
    if (entry == nullptr) continue;
    appFor(bundleIDForDesktopID(entry->id), entry->name).windows.push_back(window.id);
  }
  bool emacs = false;
  bool neovim = false;
  bool vim = false;
  for (const auto& process : processes.processes()) {
    if (process.owner != user || (emacs && neovim && vim)) continue;
    const auto executable = processes.executable(process.pid);
    if (!executable) continue;
    emacs = emacs || isEmacsExecutable(*executable);
    neovim = neovim || isNvimExecutable(*executable);
    vim = vim || isVimExecutable(*executable);
  }
  if (emacs) appFor(std::string(kEmacsBundleID), "Emacs");
  if (neovim) appFor(std::string(kNeovimBundleID), "Neovim");
  if (vim) appFor(std::string(kVimBundleID), "Vim");
  return apps;
}

}  // namespace brimwell
