// GnomeSaveKeyboard: the save pass's keyboard on GNOME Shell, through Brimwell's Shell extension:
// its window list for the windows and their processes, activating one to bring it to the front,
// and Ctrl+S through the Shell's own virtual keyboard. Every call is bounded.
#pragma once

#include "linux/capture/gnome_shell.h"
#include "linux/save/save_keyboard.h"

namespace brimwell {

class GnomeSaveKeyboard final : public SaveKeyboard {
 public:
  // `activationTimeout`: for the Shell to give the window the focus, in seconds.
  explicit GnomeSaveKeyboard(GnomeShell shell = GnomeShell(), double activationTimeout = 1)
      : shell_(shell), activationTimeout_(activationTimeout) {}
  Result<std::vector<ClientWindow>> windows() override;
  std::optional<WindowId> activeWindow() override;
  Status activate(const WindowId& window) override;
  Status pressControlS() override { return shell_.pressControlS(); }

 private:
  GnomeShell shell_;
  double activationTimeout_;
};

}  // namespace brimwell
