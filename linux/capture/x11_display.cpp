#include "linux/capture/x11_display.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace brimwell {

Result<std::unique_ptr<X11Display>> X11Display::open(const std::string& name) {
  const char* chosen = name.empty() ? std::getenv("DISPLAY") : name.c_str();
  if (chosen == nullptr || *chosen == '\0') return fail("There is no X display to ask.");
  std::unique_ptr<X11Display> display(new X11Display);
  display->connection_ = xcb_connect(chosen, &display->screenNumber_);
  if (xcb_connection_has_error(display->connection_)) {
    return fail(std::string("The X display ") + chosen + " can't be reached.");
  }
  auto* cookies = xcb_ewmh_init_atoms(display->connection_, &display->ewmh_);
  if (xcb_ewmh_init_atoms_replies(&display->ewmh_, cookies, nullptr) == 0) {
    return fail(std::string("The X display ") + chosen + " didn't name its atoms.");
  }
  display->ewmhReady_ = true;
  if (display->screenNumber_ < 0 || display->screenNumber_ >= display->ewmh_.nb_screens) {
    return fail(std::string("The X display ") + chosen + " has no such screen.");
  }
  return display;
}

X11Display::~X11Display() {
  if (ewmhReady_) xcb_ewmh_connection_wipe(&ewmh_);
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

xcb_atom_t X11Display::atom(const char* name) {
  auto* reply = xcb_intern_atom_reply(
      connection_,
      xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr);
  if (reply == nullptr) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

WindowId x11WindowId(xcb_window_t window) { return std::to_string(window); }

std::optional<xcb_window_t> parseX11WindowId(const WindowId& id) {
  xcb_window_t window = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), window);
  if (error != std::errc() || end != id.data() + id.size() || window == XCB_WINDOW_NONE ||
      id.front() == '0') {
    return std::nullopt;
  }
  return window;
}

}  // namespace brimwell
