#include "linux/restore/session_window_control.h"

#include "linux/restore/gnome_window_control.h"
#include "linux/restore/kwin_window_control.h"
#include "linux/restore/sway_window_control.h"

namespace brimwell {
namespace {

class UnplacedWindows final : public WindowControl {
 public:
  Result<Desktop> desktop() override { return refusal(); }
  Status place(const WindowId&, const Rect&) override { return refusal(); }
  Status setState(const WindowId&, bool, bool) override { return refusal(); }
  Result<std::int64_t> clipboardMark() override { return X11WindowControl().clipboardMark(); }

 private:
  static Unexpected<Error> refusal() {
    return fail("This desktop doesn't let Brimwell see or place its windows.");
  }
};

}  // namespace

std::unique_ptr<WindowControl> windowControlFor(DesktopBackendKind backend) {
  switch (backend) {
    case DesktopBackendKind::x11:
      return std::make_unique<X11WindowControl>();
    case DesktopBackendKind::sway:
      return std::make_unique<SwayWindowControl>();
    case DesktopBackendKind::gnome:
      return std::make_unique<GnomeWindowControl>();
    case DesktopBackendKind::kde:
      return std::make_unique<KwinWindowControl>();
    case DesktopBackendKind::none:
      break;
  }
  return std::make_unique<UnplacedWindows>();
}

std::unique_ptr<WindowControl> windowControlForSession() {
  return windowControlFor(chooseDesktopBackend(SessionEnvironment::fromProcess()));
}

}  // namespace brimwell
