#include "linux/capture/linux_workspace_capturer.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <map>

#include "brimwell/core/engine/snapshot_shell.h"
#include "brimwell/core/snapshots/app_kinds.h"
#include "linux/capture/app_assembly.h"
#include "linux/capture/app_identity.h"
#include "linux/capture/browser_sessions.h"
#include "linux/capture/emulator_terminals.h"
#include "linux/capture/x11_clipboard_source.h"
#include "linux/capture/xcb_window_source.h"

namespace brimwell {
namespace {

std::string fileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// The desktop entry of process `pid`: the one it was launched from, when the launcher marked it
// as this process's, else the one matching its program and window class.
std::optional<DesktopEntry> desktopEntryOf(int pid, const ProgramFacts& program,
                                           ProcessTable& processes, DesktopCatalog& catalog) {
  const auto launched = processes.environmentValue(pid, "GIO_LAUNCHED_DESKTOP_FILE");
  const auto launchedPid = processes.environmentValue(pid, "GIO_LAUNCHED_DESKTOP_FILE_PID");
  if (launched && launchedPid == std::to_string(pid)) {
    if (auto entry = catalog.entryAt(*launched)) return entry;
  }
  if (const auto* entry = matchDesktopEntry(catalog.entries(), program)) return *entry;
  return std::nullopt;
}

ProcessIdentity identityOf(int pid, const X11Window& window, ProcessTable& processes,
                           DesktopCatalog& catalog) {
  ProcessIdentity identity{.path = processes.executable(pid).value_or("")};
  const ProgramFacts program{.executableName = fileName(identity.path),
                             .wmClass = window.wmClass,
                             .wmInstance = window.wmInstance};
  if (const auto entry = desktopEntryOf(pid, program, processes, catalog)) {
    identity.bundleID = bundleIDForDesktopID(entry->id);
    identity.name = entry->name;
  } else {
    identity.name = !window.wmClass.empty() ? window.wmClass : program.executableName;
  }
  identity.openFiles = processes.openFiles(pid);
  return identity;
}

// The applications of this user's session without a display: processes with a desktop entry,
// one per program (a child running its parent's executable belongs to the parent).
std::vector<AppRecord> sessionApps(const std::vector<ProcessEntry>& table, ProcessTable& processes,
                                   DesktopCatalog& catalog) {
  std::map<int, std::string> executables;
  for (const auto& entry : table) {
    if (entry.owner != ::getuid()) continue;
    if (auto path = processes.executable(entry.pid)) executables[entry.pid] = std::move(*path);
  }
  std::vector<AppRecord> apps;
  for (const auto& entry : table) {
    const auto path = executables.find(entry.pid);
    if (path == executables.end()) continue;
    const auto parent = executables.find(entry.parent);
    if (parent != executables.end() && parent->second == path->second) continue;
    const auto desktopEntry =
        desktopEntryOf(entry.pid, {.executableName = fileName(path->second)}, processes, catalog);
    if (!desktopEntry) continue;
    apps.push_back({.bundleID = bundleIDForDesktopID(desktopEntry->id),
                    .path = path->second,
                    .name = desktopEntry->name,
                    .order = static_cast<int>(apps.size()),
                    .windowsStatus = CaptureStatus::unsupported});
  }
  return apps;
}

std::map<int, std::vector<ShellTab>> shellsOf(const std::map<int, ProcessIdentity>& identities,
                                              const std::vector<ProcessEntry>& table,
                                              ProcessTable& processes) {
  std::map<int, std::vector<ShellTab>> shells;
  for (const auto& [pid, identity] : identities) {
    if (!identity.bundleID) continue;
    const auto kind = fromBundleID<TerminalKind>(*identity.bundleID);
    if (!kind || *kind == TerminalKind::tmux) continue;
    for (const auto& entry : table) {
      if (entry.parent != pid) continue;
      shells[pid].push_back(
          {.directory = processes.workingDirectory(entry.pid), .command = entry.command});
    }
  }
  return shells;
}

template <class Record, class Key>
void dropExcluded(std::vector<Record>& records, const std::set<std::string>& excluding, Key key) {
  std::erase_if(records, [&](const Record& record) {
    const std::optional<std::string> id = key(record);
    return id && excluding.contains(*id);
  });
}

}  // namespace

LinuxCaptureSources LinuxCaptureSources::forSession(std::unique_ptr<BrowserSource> browsers) {
  LinuxCaptureSources sources;
  sources.windows = std::make_unique<XcbWindowSource>();
  sources.processes = std::make_unique<ProcProcessTable>();
  sources.desktopFiles = std::make_unique<FileDesktopCatalog>(FileDesktopCatalog::forEnvironment());
  sources.tmux = std::make_unique<TmuxCommandSource>();
  sources.clipboard = std::make_unique<X11ClipboardSource>();
  sources.browsers = browsers ? std::move(browsers) : FirefoxSessionSource::forCurrentUser();
  return sources;
}

LinuxWorkspaceCapturer::LinuxWorkspaceCapturer(LinuxCaptureSources sources,
                                               const EngineClock& clock,
                                               SystemInfoProviding& machine)
    : sources_(std::move(sources)), clock_(clock), machine_(machine) {
  worker_ = std::thread([this] { work(); });
}

LinuxWorkspaceCapturer::~LinuxWorkspaceCapturer() { shutdown(); }

void LinuxWorkspaceCapturer::shutdown() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(queue_);
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void LinuxWorkspaceCapturer::work() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    job();
  }
}

void LinuxWorkspaceCapturer::capture(CaptureTrigger trigger,
                                     const std::optional<BatteryReading>& battery,
                                     const std::set<std::string>& excluding, bool includeClipboard,
                                     std::function<void(Snapshot)> done) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    queue_.push_back([this, trigger, battery, excluding, includeClipboard, done = std::move(done)] {
      // A capture that throws (out of memory, say) is never answered: the engine's watchdog
      // reports it failed, and the worker and the process live on.
      std::optional<Snapshot> snapshot;
      try {
        snapshot = captureNow(trigger, battery, excluding, includeClipboard);
      } catch (const std::exception&) {
        return;
      }
      done(std::move(*snapshot));
    });
  }
  wake_.notify_one();
}

Snapshot LinuxWorkspaceCapturer::captureNow(CaptureTrigger trigger,
                                            const std::optional<BatteryReading>& battery,
                                            const std::set<std::string>& excluding,
                                            bool includeClipboard) {
  std::lock_guard serial(captureMutex_);
  const auto started = std::chrono::steady_clock::now();
  // Stored dates carry milliseconds; the snapshot reads back equal only if it has no finer part.
  const Date createdAt = std::chrono::floor<std::chrono::milliseconds>(clock_.now());
  Snapshot snapshot = snapshotShell(createdAt, trigger, battery, machine_);
  ProcessTable& processes = *sources_.processes;
  const auto table = processes.processes();

  auto desktop = sources_.windows ? sources_.windows->desktop()
                                  : Result<X11Desktop>(fail("There is no X display to ask."));
  std::vector<TerminalRecord> emulators;
  if (desktop) {
    std::map<int, ProcessIdentity> identities;
    for (const auto& window : desktop->windows) {
      if (window.pid && !identities.contains(*window.pid)) {
        identities.emplace(*window.pid,
                           identityOf(*window.pid, window, processes, *sources_.desktopFiles));
      }
    }
    snapshot.apps = assembleApps(*desktop, identities);
    emulators = emulatorTerminals(*desktop, identities, shellsOf(identities, table, processes));
  } else {
    snapshot.apps = sessionApps(table, processes, *sources_.desktopFiles);
    for (const auto kind :
         {TerminalKind::xterm, TerminalKind::gnomeTerminal, TerminalKind::konsole}) {
      emulators.push_back({.app = kind, .status = CaptureStatus::unsupported});
    }
  }
  dropExcluded(snapshot.apps, excluding, [](const AppRecord& app) { return app.bundleID; });
  for (std::size_t i = 0; i < snapshot.apps.size(); ++i) snapshot.apps[i].order = int(i);

  if (sources_.tmux) snapshot.terminals.push_back(sources_.tmux->tmux());
  snapshot.terminals.insert(snapshot.terminals.end(), emulators.begin(), emulators.end());
  dropExcluded(snapshot.terminals, excluding, [](const TerminalRecord& terminal) {
    return std::optional<std::string>(bundleID(terminal.app));
  });

  if (sources_.browsers) snapshot.browsers = sources_.browsers->browsers();
  dropExcluded(snapshot.browsers, excluding, [](const BrowserRecord& browser) {
    return std::optional<std::string>(bundleID(browser.browser));
  });

  if (includeClipboard && sources_.clipboard) {
    if (auto clipboard = sources_.clipboard->clipboard())
      snapshot.clipboard = std::move(*clipboard);
  }
  snapshot.meta.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - started)
                                 .count();
  return snapshot;
}

}  // namespace brimwell
