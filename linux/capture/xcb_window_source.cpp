#include "linux/capture/xcb_window_source.h"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "linux/capture/x11_display.h"

namespace brimwell {
namespace {

struct WindowCookies {
  xcb_window_t window;
  xcb_get_property_cookie_t pid, netName, name, appClass, state, extents, type;
  xcb_get_geometry_cookie_t geometry;
  xcb_translate_coordinates_cookie_t origin;
};

bool holds(const xcb_ewmh_get_atoms_reply_t& atoms, xcb_atom_t atom) {
  return std::find(atoms.atoms, atoms.atoms + atoms.atoms_len, atom) !=
         atoms.atoms + atoms.atoms_len;
}

// Collects the replies of one window; false when the window should not be listed.
bool readWindow(X11Display& display, const WindowCookies& cookies, DesktopWindow& window) {
  auto& ewmh = display.ewmh();
  xcb_connection_t* connection = display.connection();
  window.id = x11WindowId(cookies.window);

  std::uint32_t pid = 0;
  if (xcb_ewmh_get_wm_pid_reply(&ewmh, cookies.pid, &pid, nullptr) != 0 && pid > 0) {
    window.pid = static_cast<int>(pid);
  }
  xcb_ewmh_get_utf8_strings_reply_t netName{};
  if (xcb_ewmh_get_wm_name_reply(&ewmh, cookies.netName, &netName, nullptr) != 0) {
    window.title.assign(netName.strings, netName.strings_len);
    xcb_ewmh_get_utf8_strings_reply_wipe(&netName);
  }
  xcb_icccm_get_text_property_reply_t name{};
  if (xcb_icccm_get_wm_name_reply(connection, cookies.name, &name, nullptr) != 0) {
    if (window.title.empty()) window.title.assign(name.name, name.name_len);
    xcb_icccm_get_text_property_reply_wipe(&name);
  }
  xcb_icccm_get_wm_class_reply_t appClass{};
  if (xcb_icccm_get_wm_class_reply(connection, cookies.appClass, &appClass, nullptr) != 0) {
    window.appInstance = appClass.instance_name != nullptr ? appClass.instance_name : "";
    window.appClass = appClass.class_name != nullptr ? appClass.class_name : "";
    xcb_icccm_get_wm_class_reply_wipe(&appClass);
  }
  xcb_ewmh_get_atoms_reply_t state{};
  if (xcb_ewmh_get_wm_state_reply(&ewmh, cookies.state, &state, nullptr) != 0) {
    window.hidden = holds(state, ewmh._NET_WM_STATE_HIDDEN);
    window.fullScreen = holds(state, ewmh._NET_WM_STATE_FULLSCREEN);
    xcb_ewmh_get_atoms_reply_wipe(&state);
  }
  bool listed = true;
  xcb_ewmh_get_atoms_reply_t type{};
  if (xcb_ewmh_get_wm_window_type_reply(&ewmh, cookies.type, &type, nullptr) != 0) {
    listed = !holds(type, ewmh._NET_WM_WINDOW_TYPE_DOCK) &&
             !holds(type, ewmh._NET_WM_WINDOW_TYPE_DESKTOP);
    xcb_ewmh_get_atoms_reply_wipe(&type);
  }
  xcb_ewmh_get_extents_reply_t extents{};
  const bool framed =
      xcb_ewmh_get_frame_extents_reply(&ewmh, cookies.extents, &extents, nullptr) != 0;
  auto* geometry = xcb_get_geometry_reply(connection, cookies.geometry, nullptr);
  auto* origin = xcb_translate_coordinates_reply(connection, cookies.origin, nullptr);
  if (geometry != nullptr && origin != nullptr) {
    Rect frame{.x = double(origin->dst_x),
               .y = double(origin->dst_y),
               .width = double(geometry->width),
               .height = double(geometry->height)};
    if (framed) {
      frame.x -= extents.left;
      frame.y -= extents.top;
      frame.width += extents.left + extents.right;
      frame.height += extents.top + extents.bottom;
    }
    window.frame = frame;
  } else {
    listed = false;  // the window went away while it was being read
  }
  std::free(geometry);
  std::free(origin);
  return listed;
}

}  // namespace

Result<Desktop> XcbWindowSource::desktop() {
  auto opened = X11Display::open(display_);
  if (!opened) return Unexpected(opened.error());
  X11Display& display = **opened;
  auto& ewmh = display.ewmh();
  const int screen = display.screenNumber();

  const auto stackingCookie = xcb_ewmh_get_client_list_stacking(&ewmh, screen);
  const auto activeCookie = xcb_ewmh_get_active_window(&ewmh, screen);
  xcb_ewmh_get_windows_reply_t stacking{};
  if (xcb_ewmh_get_client_list_stacking_reply(&ewmh, stackingCookie, &stacking, nullptr) == 0) {
    xcb_window_t ignored = 0;
    xcb_ewmh_get_active_window_reply(&ewmh, activeCookie, &ignored, nullptr);
    return fail("The window manager doesn't list its windows.");
  }
  Desktop desktop;
  xcb_window_t active = XCB_WINDOW_NONE;
  if (xcb_ewmh_get_active_window_reply(&ewmh, activeCookie, &active, nullptr) != 0 &&
      active != XCB_WINDOW_NONE) {
    desktop.active = x11WindowId(active);
  }

  // The stacking list runs bottom to top; the capture lists front to back.
  std::vector<WindowCookies> cookies;
  cookies.reserve(stacking.windows_len);
  xcb_connection_t* connection = display.connection();
  for (std::uint32_t i = stacking.windows_len; i-- > 0;) {
    const xcb_window_t window = stacking.windows[i];
    cookies.push_back(
        {.window = window,
         .pid = xcb_ewmh_get_wm_pid(&ewmh, window),
         .netName = xcb_ewmh_get_wm_name(&ewmh, window),
         .name = xcb_icccm_get_wm_name(connection, window),
         .appClass = xcb_icccm_get_wm_class(connection, window),
         .state = xcb_ewmh_get_wm_state(&ewmh, window),
         .extents = xcb_ewmh_get_frame_extents(&ewmh, window),
         .type = xcb_ewmh_get_wm_window_type(&ewmh, window),
         .geometry = xcb_get_geometry(connection, window),
         .origin = xcb_translate_coordinates(connection, window, display.root(), 0, 0)});
  }
  xcb_ewmh_get_windows_reply_wipe(&stacking);
  for (const auto& windowCookies : cookies) {
    DesktopWindow window;
    if (readWindow(display, windowCookies, window)) desktop.windows.push_back(std::move(window));
  }
  return desktop;
}

}  // namespace brimwell
