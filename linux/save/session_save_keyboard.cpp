#include "linux/save/session_save_keyboard.h"

#include "linux/save/gnome_save_keyboard.h"
#include "linux/save/kwin_save_keyboard.h"
#include "linux/save/sway_save_keyboard.h"
#include "linux/save/xcb_save_keyboard.h"

namespace brimwell {
namespace {

class NoKeyboard final : public SaveKeyboard {
 public:
  Result<std::vector<ClientWindow>> windows() override {
    return fail("This desktop doesn't let Brimwell press keys in its windows.");
  }
  std::optional<WindowId> activeWindow() override { return std::nullopt; }
  Status activate(const WindowId&) override { return fail("There is no window to activate."); }
  Status pressControlS() override {
    return fail("This desktop doesn't let Brimwell press keys in its windows.");
  }
};

}  // namespace

std::unique_ptr<SaveKeyboard> saveKeyboardFor(DesktopBackendKind backend) {
  switch (backend) {
    case DesktopBackendKind::x11:
      return std::make_unique<XcbSaveKeyboard>();
    case DesktopBackendKind::sway:
      return std::make_unique<SwaySaveKeyboard>();
    case DesktopBackendKind::gnome:
      return std::make_unique<GnomeSaveKeyboard>();
    case DesktopBackendKind::kde:
      return std::make_unique<KwinSaveKeyboard>();
    case DesktopBackendKind::none:
      break;
  }
  return std::make_unique<NoKeyboard>();
}

std::unique_ptr<SaveKeyboard> saveKeyboardForSession() {
  return saveKeyboardFor(chooseDesktopBackend(SessionEnvironment::fromProcess()));
}

}  // namespace brimwell
