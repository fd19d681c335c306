// LinuxRestoreExecutor: carries out a restore plan on a Linux X11 desktop, one step after the
// other: launches through desktop files, documents with their application (else xdg-open),
// browser and terminal windows through their programs and tmux, folders through the file manager
// on the session bus (else xdg-open), window frames and states through
// EWMH, the clipboard through a detached server. Every wait is bounded and a failing step never
// stops the plan; each outcome carries one sentence. `execute` runs the plan on the executor's
// own thread (one plan at a time); `executeNow` on the caller's.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "brimwell/core/restore/restore_executing.h"
#include "linux/capture/process_table.h"
#include "linux/restore/app_directory.h"
#include "linux/restore/file_manager.h"
#include "linux/restore/programs.h"
#include "linux/restore/recorded_window_states.h"
#include "linux/restore/window_control.h"

namespace brimwell {

struct LinuxRestoreOptions {
  std::vector<std::string> tmuxServer;       // options choosing the tmux server; empty: default
  std::vector<std::string> clipboardServer;  // the command that serves a clipboard
  double windowWait = 5;                     // seconds to wait for a started program's window
  double commandTimeout = 5;                 // seconds a command (tmux, the clipboard) may take
  // The snapshot's window states, for the terminal and browser windows a plan reopens.
  RecordedWindowStates windowStates;
};

struct LinuxRestorePlatform {
  std::unique_ptr<Programs> programs;
  std::unique_ptr<WindowControl> windows;
  std::unique_ptr<AppDirectory> apps;
  std::unique_ptr<ProcessTable> processes;
  std::unique_ptr<FileManager> fileManager;  // none: folders open through xdg-open

  // The real ones: posix_spawn, $DISPLAY, the XDG data directories, /proc, the session bus.
  static LinuxRestorePlatform forSession();
};

class LinuxRestoreExecutor final : public RestoreExecuting {
 public:
  LinuxRestoreExecutor(LinuxRestorePlatform platform, LinuxRestoreOptions options);
  // Waits for the plan in progress, if any.
  ~LinuxRestoreExecutor() override;
  LinuxRestoreExecutor(const LinuxRestoreExecutor&) = delete;
  LinuxRestoreExecutor& operator=(const LinuxRestoreExecutor&) = delete;

  // Runs `plan` on the executor's thread, after the plan before it; not to be called from a
  // handler of the executor's own.
  void execute(const RestorePlan& plan, ProgressHandler progress, Completion completion) override;

  // Carries out `plan` on this thread; `progress` (may be empty) hears before each step and once
  // all are done.
  RestoreReport executeNow(const RestorePlan& plan, const ProgressHandler& progress);

 private:
  class Steps;

  LinuxRestorePlatform platform_;
  LinuxRestoreOptions options_;
  std::mutex running_;  // one plan at a time over the platform
  std::thread worker_;
};

}  // namespace brimwell
