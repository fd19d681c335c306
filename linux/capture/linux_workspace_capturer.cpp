#include "linux/capture/linux_workspace_capturer.h"
#include "linux/capture/gnome_shell.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>

#include "brimwell/core/engine/snapshot_shell.h"
#include "brimwell/core/snapshots/app_kinds.h"
#include "linux/capture/app_assembly.h"
#include "linux/capture/app_identity.h"
#include "linux/capture/browser_sessions.h"
#include "linux/capture/chromium_session_source.h"
#include "linux/capture/emulator_terminals.h"
#include "linux/capture/folder_windows.h"
#include "linux/capture/kwin_window_source.h"
#include "linux/capture/sway_ipc.h"
#include "linux/capture/wayland_clipboard.h"
#include "linux/capture/x11_clipboard_source.h"
#include "linux/capture/xcb_window_source.h"
#include "linux/desktop_session.h"
#include "linux/user_home.h"

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

ProcessIdentity identityOf(int pid, const DesktopWindow& window, ProcessTable& processes,
                           DesktopCatalog& catalog) {
  ProcessIdentity identity{.path = processes.executable(pid).value_or("")};
  const ProgramFacts program{.executableName = fileName(identity.path),
                             .appClass = window.appClass,
                             .appInstance = window.appInstance};
  if (const auto entry = desktopEntryOf(pid, program, processes, catalog)) {
    identity.bundleID = bundleIDForDesktopID(entry->id);
    identity.name = entry->name;
  } else {
    identity.name = !window.appClass.empty() ? window.appClass : program.executableName;
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

// The programs `pid` runs directly, but not the emulator's own helper processes (kitty's
// pre-started child, which bears its name).
std::vector<ShellTab> childShells(int pid, const std::vector<ProcessEntry>& table,
                                  ProcessTable& processes) {
  std::string command;
  for (const auto& entry : table) {
    if (entry.pid == pid) command = entry.command;
  }
  std::vector<ShellTab> shells;
  for (const auto& entry : table) {
    if (entry.parent != pid || entry.command == command) continue;
    shells.push_back(
        {.directory = processes.workingDirectory(entry.pid), .command = entry.command});
  }
  return shells;
}

std::map<int, std::vector<ShellTab>> shellsOf(const std::map<int, ProcessIdentity>& identities,
                                              const std::vector<ProcessEntry>& table,
                                              ProcessTable& processes) {
  std::map<int, std::vector<ShellTab>> shells;
  for (const auto& [pid, identity] : identities) {
    if (!identity.bundleID) continue;
    const auto kind = fromBundleID<TerminalKind>(*identity.bundleID);
    if (!kind || *kind == TerminalKind::tmux) continue;
    auto tabs = childShells(pid, table, processes);
    if (!tabs.empty()) shells[pid] = std::move(tabs);
  }
  return shells;
}

// foot's processes of this user (each a window, or a server with a window per client) with
// their shells.
std::map<int, std::vector<ShellTab>> footShells(const std::vector<ProcessEntry>& table,
                                                ProcessTable& processes) {
  std::map<int, std::vector<ShellTab>> shells;
  for (const auto& entry : table) {
    if (entry.owner != ::getuid() || entry.command != "foot") continue;
    shells[entry.pid] = childShells(entry.pid, table, processes);
  }
  return shells;
}

// The tabs of kitty's windows as kitty names them, for each kitty that tells its shells a socket
// to ask; a kitty that doesn't answer is left to the shells of its processes.
std::map<WindowId, std::vector<TerminalTabRecord>> kittyTabs(
    KittySource* kitty, const Desktop& desktop, const std::map<int, ProcessIdentity>& identities,
    const std::vector<ProcessEntry>& table, ProcessTable& processes) {
  std::map<WindowId, std::vector<TerminalTabRecord>> tabs;
  if (!kitty) return tabs;
  for (const auto& [pid, identity] : identities) {
    if (identity.bundleID != bundleID(TerminalKind::kitty)) continue;
    std::optional<std::string> listenOn;
    for (const auto& entry : table) {
      if (entry.parent != pid || entry.owner != ::getuid()) continue;
      if ((listenOn = processes.environmentValue(entry.pid, "KITTY_LISTEN_ON"))) break;
    }
    if (!listenOn) continue;
    const auto osWindows = kitty->osWindows(*listenOn);
    if (!osWindows) continue;
    std::vector<DesktopWindow> mine;
    for (const auto& window : desktop.windows) {
      if (window.pid == pid) mine.push_back(window);
    }
    tabs.merge(tabsByWindow(mine, *osWindows));
  }
  return tabs;
}

// The tabs of Konsole's windows as Konsole names them, each in the directory of its shell (only
// a child of that Konsole is believed); a Konsole that doesn't answer on the bus is left to the
// shells of its processes.
std::map<WindowId, std::vector<TerminalTabRecord>> konsoleTabs(
    KonsoleSource* konsole, const Desktop& desktop,
    const std::map<int, ProcessIdentity>& identities, const std::vector<ProcessEntry>& table,
    ProcessTable& processes) {
  std::map<WindowId, std::vector<TerminalTabRecord>> tabs;
  if (!konsole) return tabs;
  for (const auto& [pid, identity] : identities) {
    if (identity.bundleID != bundleID(TerminalKind::konsole)) continue;
    const auto windows = konsole->windows(pid);
    if (!windows) continue;
    std::vector<EmulatorWindow> emulated;
    for (const auto& window : *windows) {
      auto& into = emulated.emplace_back(
          EmulatorWindow{.platformWindowId = window.platformWindowId, .title = window.title});
      for (const auto& tab : window.tabs) {
        const bool child = std::any_of(table.begin(), table.end(), [&](const ProcessEntry& e) {
          return e.pid == tab.shellPid && e.parent == pid;
        });
        into.tabs.push_back(
            {.directory = child ? processes.workingDirectory(tab.shellPid) : std::nullopt,
             .title = tab.title});
      }
    }
    std::vector<DesktopWindow> mine;
    for (const auto& window : desktop.windows) {
      if (window.pid == pid) mine.push_back(window);
    }
    tabs.merge(tabsByWindow(mine, emulated));
  }
  return tabs;
}

template <class Record, class Key>
void dropExcluded(std::vector<Record>& records, const std::set<std::string>& excluding, Key key) {
  std::erase_if(records, [&](const Record& record) {
    const std::optional<std::string> id = key(record);
    return id && excluding.contains(*id);
  });
}

// The folder windows open now, but those of excluded applications (by their process's identity).
std::vector<FinderWindowRecord> openFolderWindows(FileManagerSource* source,
                                                  const Result<Desktop>& desktop,
                                                  const std::map<int, ProcessIdentity>& identities,
                                                  const std::set<std::string>& excluding,
                                                  ProcessTable& processes) {
  const auto excluded = [&](std::optional<int> pid) {
    const auto identity = pid ? identities.find(*pid) : identities.end();
    return identity != identities.end() && identity->second.bundleID &&
           excluding.contains(*identity->second.bundleID);
  };
  auto listed = source ? source->openWindows() : Result<OpenFolderWindows>(fail("none"));
  if (listed && excluded(listed->pid)) listed->windows.clear();
  std::vector<DesktopWindow> windows;
  if (desktop) {
    std::copy_if(desktop->windows.begin(), desktop->windows.end(), std::back_inserter(windows),
                 [&](const DesktopWindow& w) { return !excluded(w.pid); });
  }
  // The file manager titles its windows after the home it was started with.
  std::optional<std::string> home;
  if (listed && listed->pid) home = processes.environmentValue(*listed->pid, "HOME");
  if (!home || home->empty() || home->front() != '/') {
    const auto ours = currentUserHome();
    home = ours ? ours->string() : std::string();
  }
  return folderWindows(listed, windows, *home, [](const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
  });
}

}  // namespace

LinuxCaptureSources LinuxCaptureSources::forSession(std::unique_ptr<BrowserSource> browsers) {
  LinuxCaptureSources sources;
  switch (chooseDesktopBackend(SessionEnvironment::fromProcess())) {
    case DesktopBackendKind::x11:
      sources.windows = std::make_unique<XcbWindowSource>();
      sources.clipboard = std::make_unique<X11ClipboardSource>();
      break;
    case DesktopBackendKind::sway:
      sources.windows = std::make_unique<SwayWindowSource>();
      sources.clipboard = std::make_unique<WaylandClipboardSource>();
      break;
    case DesktopBackendKind::kde:
      sources.windows = std::make_unique<KwinWindowSource>();
      sources.clipboard = std::make_unique<WaylandClipboardSource>();
      break;
    case DesktopBackendKind::gnome:
      sources.windows = std::make_unique<GnomeWindowSource>();
      sources.clipboard = std::make_unique<GnomeClipboardSource>();
      break;
    case DesktopBackendKind::none:
      // Without a window backend the applications come from /proc; XWayland, where it runs,
      // keeps the X11 clipboard in step with the Wayland one.
      sources.clipboard = std::make_unique<X11ClipboardSource>();
      break;
  }
  sources.processes = std::make_unique<ProcProcessTable>();
  sources.desktopFiles = std::make_unique<FileDesktopCatalog>(FileDesktopCatalog::forEnvironment());
  sources.tmux = std::make_unique<TmuxCommandSource>();
  sources.fileManager = std::make_unique<BusFileManagerSource>();
  sources.kitty = std::make_unique<KittySocketSource>();
  sources.konsole = std::make_unique<KonsoleBusSource>();
  if (!browsers) {
    std::vector<std::unique_ptr<BrowserSource>> both;
    both.push_back(FirefoxSessionSource::forCurrentUser());
    both.push_back(ChromiumSessionSource::forCurrentUser());
    browsers = std::make_unique<CombinedBrowserSource>(std::move(both));
  }
  sources.browsers = std::move(browsers);
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
                                  : Result<Desktop>(fail("This desktop doesn't list its windows."));
  std::vector<TerminalRecord> emulators;
  std::map<int, ProcessIdentity> identities;
  if (desktop) {
    for (const auto& window : desktop->windows) {
      if (window.pid && !identities.contains(*window.pid)) {
        identities.emplace(*window.pid,
                           identityOf(*window.pid, window, processes, *sources_.desktopFiles));
      }
    }
    snapshot.apps = assembleApps(*desktop, identities);
    auto named = kittyTabs(sources_.kitty.get(), *desktop, identities, table, processes);
    named.merge(konsoleTabs(sources_.konsole.get(), *desktop, identities, table, processes));
    emulators =
        emulatorTerminals(*desktop, identities, shellsOf(identities, table, processes), named);
  } else {
    snapshot.apps = sessionApps(table, processes, *sources_.desktopFiles);
    // Only foot runs a process per window, so only its windows can be told without the desktop.
    for (const auto kind : kWindowedEmulators) {
      emulators.push_back(kind == TerminalKind::foot
                              ? shellWindowTerminals(kind, footShells(table, processes))
                              : TerminalRecord{.app = kind, .status = CaptureStatus::unsupported});
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

  snapshot.finder =
      openFolderWindows(sources_.fileManager.get(), desktop, identities, excluding, processes);

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
