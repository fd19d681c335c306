// GnomeWindowControl: the restore's window control on GNOME Shell, through Brimwell's Shell
// extension: its window list, a window's frame and its minimised and full-screen states, and a
// digest of the clipboard as read through the extension as its mark.
#pragma once

#include "linux/capture/gnome_shell.h"
#include "linux/restore/window_control.h"

namespace brimwell {

class GnomeWindowControl final : public WindowControl {
 public:
  explicit GnomeWindowControl(GnomeShell shell = GnomeShell()) : shell_(shell) {}
  Result<Desktop> desktop() override { return shell_.windows(); }
  // A window the Shell has only just shown may still get its first place after the move, so the
  // frame is checked for a moment and asked for once more when it didn't hold.
  Status place(const WindowId& id, const Rect& frame) override;
  Status setState(const WindowId& id, bool minimized, bool fullScreen) override {
    return shell_.setState(id, minimized, fullScreen);
  }
  Result<std::int64_t> clipboardMark() override;

 private:
  GnomeShell shell_;
};

}  // namespace brimwell
