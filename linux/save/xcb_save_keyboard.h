// XcbSaveKeyboard: the SaveKeyboard of an X display, opened on first use and kept for the pass.
// Windows come from _NET_CLIENT_LIST with _NET_WM_PID and WM_CLASS, activation is the EWMH
// _NET_ACTIVE_WINDOW request, and keys are faked with XTest. Every reply is awaited with a
// deadline; a server that doesn't answer in time fails the call.
#pragma once

#include <memory>
#include <string>

#include "linux/capture/x11_display.h"
#include "linux/save/save_keyboard.h"

namespace brimwell {

class XcbSaveKeyboard final : public SaveKeyboard {
 public:
  // `display` empty: $DISPLAY. `replyTimeout`: seconds to wait for any one answer of the server;
  // `activationTimeout`: for the window manager to make a window active.
  explicit XcbSaveKeyboard(std::string display = {}, double replyTimeout = 2,
                           double activationTimeout = 2);
  ~XcbSaveKeyboard() override;

  Result<std::vector<ClientWindow>> windows() override;
  std::optional<WindowId> activeWindow() override;
  Status activate(const WindowId& window) override;
  Status pressControlS() override;

 private:
  Result<X11Display*> display();

  std::string name_;
  double replyTimeout_;
  double activationTimeout_;
  std::unique_ptr<X11Display> display_;
};

}  // namespace brimwell
