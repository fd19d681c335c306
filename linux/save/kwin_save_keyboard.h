// KwinSaveKeyboard: the save pass's keyboard on KDE Plasma's Wayland session: KWin's scripting
// interface for the windows and their processes and to make one the active window, and Ctrl+S
// through KWin's fake input, which KWin offers only a program whose desktop file names it
// (X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input); without it the press fails in one
// sentence. Every call is bounded.
#pragma once

#include "linux/capture/kwin_scripting.h"
#include "linux/save/save_keyboard.h"

namespace brimwell {

class KwinSaveKeyboard final : public SaveKeyboard {
 public:
  // `activationTimeout`: for KWin to make the window active; `keyTimeout`: for the keys.
  explicit KwinSaveKeyboard(KwinScripting scripting = KwinScripting(),
                            std::string waylandDisplay = {}, double activationTimeout = 1,
                            double keyTimeout = 1)
      : scripting_(scripting),
        waylandDisplay_(std::move(waylandDisplay)),
        activationTimeout_(activationTimeout),
        keyTimeout_(keyTimeout) {}
  Result<std::vector<ClientWindow>> windows() override;
  std::optional<WindowId> activeWindow() override;
  Status activate(const WindowId& window) override;
  Status pressControlS() override;

 private:
  KwinScripting scripting_;
  std::string waylandDisplay_;
  double activationTimeout_;
  double keyTimeout_;
};

}  // namespace brimwell
