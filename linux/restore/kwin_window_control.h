// KwinWindowControl: the restore's window control on KDE Plasma's Wayland session: KWin's
// scripting interface for the windows, their frames and their minimised and full-screen states,
// and the Wayland clipboard's digest (KWin offers the data-control protocol) as its mark.
#pragma once

#include "linux/capture/kwin_scripting.h"
#include "linux/restore/window_control.h"

namespace brimwell {

class KwinWindowControl final : public WindowControl {
 public:
  explicit KwinWindowControl(KwinScripting scripting = KwinScripting(),
                             std::string waylandDisplay = {})
      : scripting_(scripting), waylandDisplay_(std::move(waylandDisplay)) {}
  Result<Desktop> desktop() override;
  // Checked for a moment, as GNOME Shell's is: KWin too places a window it has just shown.
  Status place(const WindowId& id, const Rect& frame) override;
  Status setState(const WindowId& id, bool minimized, bool fullScreen) override;
  Result<std::int64_t> clipboardMark() override;

 private:
  KwinScripting scripting_;
  std::string waylandDisplay_;
};

}  // namespace brimwell
