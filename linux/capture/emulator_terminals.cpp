#include "linux/capture/emulator_terminals.h"

#include <array>

#include "brimwell/core/snapshots/app_kinds.h"

namespace brimwell {

std::vector<TerminalRecord> emulatorTerminals(
    const Desktop& desktop, const std::map<int, ProcessIdentity>& identities,
    const std::map<int, std::vector<ShellTab>>& shells,
    const std::map<WindowId, std::vector<TerminalTabRecord>>& known) {
  std::vector<TerminalRecord> records;
  for (const auto kind : kWindowedEmulators) {
    TerminalRecord record{.app = kind, .status = CaptureStatus::notRunning};
    std::map<int, int> windowsOf;
    for (const auto& window : desktop.windows) {
      if (!window.pid) continue;
      const auto identity = identities.find(*window.pid);
      if (identity == identities.end() || identity->second.bundleID != bundleID(kind)) continue;
      ++windowsOf[*window.pid];
    }
    std::map<int, bool> filled;
    for (const auto& window : desktop.windows) {
      if (!window.pid || !windowsOf.contains(*window.pid)) continue;
      TerminalWindowRecord terminalWindow{.bounds = window.frame};
      if (const auto named = known.find(window.id); named != known.end()) {
        terminalWindow.tabs = named->second;
      } else if (!filled[*window.pid]) {
        filled[*window.pid] = true;
        const auto found = shells.find(*window.pid);
        const auto& tabs = found == shells.end() ? std::vector<ShellTab>{} : found->second;
        const bool titledByWindow = tabs.size() == 1 && windowsOf[*window.pid] == 1;
        for (const auto& tab : tabs) {
          terminalWindow.tabs.push_back(
              {.directory = tab.directory, .title = titledByWindow ? window.title : tab.command});
        }
      }
      record.windows.push_back(std::move(terminalWindow));
    }
    if (!record.windows.empty()) record.status = CaptureStatus::ok;
    records.push_back(std::move(record));
  }
  return records;
}

TerminalRecord shellWindowTerminals(TerminalKind kind,
                                    const std::map<int, std::vector<ShellTab>>& shells) {
  TerminalRecord record{.app = kind, .status = CaptureStatus::notRunning};
  for (const auto& [pid, tabs] : shells) {
    for (const auto& tab : tabs) {
      record.windows.push_back({.tabs = {{.directory = tab.directory, .title = tab.command}}});
    }
  }
  if (!record.windows.empty()) record.status = CaptureStatus::ok;
  return record;
}

}  // namespace brimwell
