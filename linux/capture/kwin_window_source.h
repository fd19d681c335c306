// The windows of a KWin (KDE Plasma) Wayland session, through KWin's scripting interface: a
// script lists them and reports back; another places one. Each call is one bounded script run.
#pragma once

#include "linux/capture/kwin_scripting.h"
#include "linux/capture/window_source.h"

namespace brimwell {

class KwinWindowSource final : public WindowSource {
 public:
  explicit KwinWindowSource(KwinScripting scripting = KwinScripting()) : scripting_(scripting) {}
  Result<Desktop> desktop() override;

 private:
  KwinScripting scripting_;
};

// Has KWin do `placement`; fails with "The window is no longer open." when KWin has no such
// window.
Status placeKwinWindow(const KwinScripting& scripting, const KwinPlacement& placement);

}  // namespace brimwell
