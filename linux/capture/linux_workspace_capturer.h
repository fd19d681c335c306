// LinuxWorkspaceCapturer: the workspace capturer of a Linux desktop. It composes its sources:
// windows (X11 through EWMH; without a display, the session's applications from /proc with
// windowsStatus unsupported), processes, desktop files, tmux, the clipboard and any browser
// source, and the file manager's folder windows. A capture always answers with a snapshot: a source
// that fails marks its part (an application's windowsStatus, a terminal's or browser's status; an
// unreadable clipboard is left out). Captures run one at a time on the capturer's own thread;
// `done` is called there.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "brimwell/core/engine/collaborators.h"
#include "brimwell/core/engine/engine_clock.h"
#include "linux/capture/browser_source.h"
#include "linux/capture/clipboard_source.h"
#include "linux/capture/desktop_catalog.h"
#include "linux/capture/file_manager_source.h"
#include "linux/capture/kitty_remote.h"
#include "linux/capture/konsole_bus.h"
#include "linux/capture/process_table.h"
#include "linux/capture/tmux_source.h"
#include "linux/capture/window_source.h"

namespace brimwell {

struct LinuxCaptureSources {
  std::unique_ptr<WindowSource> windows;
  std::unique_ptr<ProcessTable> processes;
  std::unique_ptr<DesktopCatalog> desktopFiles;
  std::unique_ptr<TmuxSource> tmux;
  std::unique_ptr<ClipboardSource> clipboard;
  std::unique_ptr<BrowserSource> browsers;  // none: the snapshot lists no browsers
  // none: folder windows only from the titles of the file managers that show their path there
  std::unique_ptr<FileManagerSource> fileManager;
  // none: kitty's tabs only as the shells of its processes
  std::unique_ptr<KittySource> kitty;
  // none: Konsole's tabs only as the shells of its processes
  std::unique_ptr<KonsoleSource> konsole;

  // The sources of this session: $DISPLAY, /proc, the XDG data directories, the user's tmux
  // server, the CLIPBOARD selection, the file manager on the session bus, kitty's remote control
  // where it listens on a socket, Konsole on the session bus, and `browsers` (none
  // given: the session files of Firefox and of the Chromium family).
  static LinuxCaptureSources forSession(std::unique_ptr<BrowserSource> browsers = nullptr);
};

class LinuxWorkspaceCapturer final : public WorkspaceCapturing {
 public:
  // `clock` and `machine` must outlive the capturer.
  LinuxWorkspaceCapturer(LinuxCaptureSources sources, const EngineClock& clock,
                         SystemInfoProviding& machine);
  // Waits for the capture in progress, if any; captures still queued are not run.
  ~LinuxWorkspaceCapturer() override;
  // The same, now: after it returns no capture runs and no completion is called, so the host
  // can end the io_context those completions answer into. Later captures are never answered.
  void shutdown();
  LinuxWorkspaceCapturer(const LinuxWorkspaceCapturer&) = delete;
  LinuxWorkspaceCapturer& operator=(const LinuxWorkspaceCapturer&) = delete;

  void capture(CaptureTrigger trigger, const std::optional<BatteryReading>& battery,
               const std::set<std::string>& excluding, bool includeClipboard,
               std::function<void(Snapshot)> done) override;

  // The same capture, on the calling thread (after any capture in progress).
  Snapshot captureNow(CaptureTrigger trigger, const std::optional<BatteryReading>& battery,
                      const std::set<std::string>& excluding, bool includeClipboard);

 private:
  void work();

  LinuxCaptureSources sources_;
  const EngineClock& clock_;
  SystemInfoProviding& machine_;
  std::mutex captureMutex_;  // one capture at a time over the sources
  std::mutex mutex_;         // guards queue_ and stopping_
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace brimwell
