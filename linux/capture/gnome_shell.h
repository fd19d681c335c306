// GnomeShell: Brimwell's client of its own GNOME Shell extension, which exports
// com.tallowgate.brimwell.Shell on the session bus: the window list, placing a window and setting
// its states, activating it, pressing Ctrl+S, and reading and setting the clipboard. Every call
// opens its own connection and waits no longer than the limit, so a silent Shell costs a bounded
// wait and a Shell that restarted is found again. Every reply is checked before it is believed.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/clipboard_record.h"
#include "linux/capture/clipboard_source.h"
#include "linux/capture/desktop_windows.h"
#include "linux/capture/window_source.h"

namespace brimwell {

inline constexpr const char* kGnomeShellBusName = "com.tallowgate.brimwell.Shell";
inline constexpr const char* kGnomeShellPath = "/com/tallowgate/brimwell/Shell";
inline constexpr const char* kGnomeShellInterface = "com.tallowgate.brimwell.Shell";
// The most clipboard types read, and the longest type name believed.
inline constexpr std::size_t kGnomeMaxClipboardTypes = 64;
inline constexpr std::size_t kGnomeMaxTypeLength = 255;

class GnomeShell {
 public:
  explicit GnomeShell(std::chrono::milliseconds limit = std::chrono::seconds(2)) : limit_(limit) {}

  Result<Desktop> windows() const;
  Status place(const WindowId& id, const Rect& frame) const;
  Status setState(const WindowId& id, bool minimized, bool fullScreen) const;
  Status activate(const WindowId& id) const;
  Status pressControlS() const;
  // The types the clipboard offers, without meta targets, repeats or overlong names.
  Result<std::vector<std::string>> clipboardTypes() const;
  // The clipboard's bytes as `type`; more than `ceiling` bytes fail.
  Result<ClipboardRecord::Bytes> clipboardData(const std::string& type, std::int64_t ceiling) const;
  // Puts `bytes` on the clipboard as `type`; the Shell itself owns the selection afterwards.
  Status setClipboard(const std::string& type, const ClipboardRecord::Bytes& bytes) const;

 private:
  std::chrono::milliseconds limit_;
};

class GnomeWindowSource final : public WindowSource {
 public:
  explicit GnomeWindowSource(GnomeShell shell = GnomeShell()) : shell_(shell) {}
  Result<Desktop> desktop() override { return shell_.windows(); }

 private:
  GnomeShell shell_;
};

class GnomeClipboardSource final : public ClipboardSource {
 public:
  explicit GnomeClipboardSource(GnomeShell shell = GnomeShell(),
                                std::int64_t ceiling = ClipboardRecord::maxBytes)
      : shell_(shell), ceiling_(ceiling) {}
  Result<ClipboardRecord> clipboard() override;

 private:
  GnomeShell shell_;
  std::int64_t ceiling_;
};

// The one type of `item` the Shell is given when a recorded clipboard is put back (a script's
// selection source offers a single type): UTF-8 text first, then plain text, else the first.
std::string gnomeClipboardType(const ClipboardRecord::Item& item);

// Puts the first item of `record` on the clipboard through the extension, then writes "ready" and
// a newline to `readyFd` and closes it; the Shell keeps the clipboard from then on.
Status serveGnomeClipboard(const ClipboardRecord& record, int readyFd);

}  // namespace brimwell
