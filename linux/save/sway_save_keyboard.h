// SwaySaveKeyboard: the save pass's keyboard on sway: the layout tree for the windows and their
// processes, "focus" on one container to bring it to the front, and Ctrl+S through the
// compositor's virtual keyboard. Every call is bounded.
#pragma once

#include "linux/capture/sway_ipc.h"
#include "linux/save/save_keyboard.h"

namespace brimwell {

class SwaySaveKeyboard final : public SaveKeyboard {
 public:
  // `activationTimeout`: for sway to give the window the focus; `keyTimeout`: for the keys.
  explicit SwaySaveKeyboard(SwayIpc ipc = SwayIpc(), std::string waylandDisplay = {},
                            double activationTimeout = 1, double keyTimeout = 1)
      : ipc_(std::move(ipc)),
        waylandDisplay_(std::move(waylandDisplay)),
        activationTimeout_(activationTimeout),
        keyTimeout_(keyTimeout) {}
  Result<std::vector<ClientWindow>> windows() override;
  std::optional<WindowId> activeWindow() override;
  Status activate(const WindowId& window) override;
  Status pressControlS() override;

 private:
  SwayIpc ipc_;
  std::string waylandDisplay_;
  double activationTimeout_;
  double keyTimeout_;
};

}  // namespace brimwell
