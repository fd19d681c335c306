#include "linux/restore/window_control.h"

#include <xcb/xcb_icccm.h>

#include <cstdlib>

#include "linux/capture/x11_display.h"
#include "linux/capture/xcb_window_source.h"

namespace brimwell {
namespace {

FrameExtents frameExtents(X11Display& display, xcb_window_t window) {
  xcb_ewmh_get_extents_reply_t extents{};
  auto& ewmh = display.ewmh();
  if (xcb_ewmh_get_frame_extents_reply(&ewmh, xcb_ewmh_get_frame_extents(&ewmh, window), &extents,
                                       nullptr) == 0) {
    return {};
  }
  return {extents.left, extents.right, extents.top, extents.bottom};
}

// Waits for one round trip, so that the server has carried out every request sent before the
// connection closes: requests still unread when a client disconnects may be dropped.
Status flushed(X11Display& display) {
  xcb_connection_t* c = display.connection();
  auto* reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
  if (reply == nullptr) return fail("The X display closed the connection.");
  std::free(reply);
  return {};
}

}  // namespace

Result<Desktop> X11WindowControl::desktop() { return XcbWindowSource(display_).desktop(); }

Status X11WindowControl::place(const WindowId& window, const Rect& frame) {
  const auto id = parseX11WindowId(window);
  if (!id) return fail("There is no X window " + window + ".");
  auto display = X11Display::open(display_);
  if (!display) return Unexpected(display.error());
  X11Display& x = **display;
  const ClientGeometry geometry = clientGeometry(frame, frameExtents(x, *id));
  // A full-screen or maximised window ignores a move; its states come back afterwards.
  xcb_ewmh_request_change_wm_state(&x.ewmh(), x.screenNumber(), *id, XCB_EWMH_WM_STATE_REMOVE,
                                   x.ewmh()._NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE,
                                   XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
  xcb_ewmh_request_change_wm_state(&x.ewmh(), x.screenNumber(), *id, XCB_EWMH_WM_STATE_REMOVE,
                                   x.ewmh()._NET_WM_STATE_MAXIMIZED_VERT,
                                   x.ewmh()._NET_WM_STATE_MAXIMIZED_HORZ,
                                   XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
  const auto flags = static_cast<xcb_ewmh_moveresize_window_opt_flags_t>(
      XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y |
      XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT);
  xcb_ewmh_request_moveresize_window(&x.ewmh(), x.screenNumber(), *id, XCB_GRAVITY_NORTH_WEST,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, flags, geometry.x,
                                     geometry.y, geometry.width, geometry.height);
  return flushed(x);
}

Status X11WindowControl::setState(const WindowId& window, bool minimized, bool fullScreen) {
  const auto id = parseX11WindowId(window);
  if (!id) return fail("There is no X window " + window + ".");
  auto display = X11Display::open(display_);
  if (!display) return Unexpected(display.error());
  X11Display& x = **display;
  xcb_ewmh_request_change_wm_state(&x.ewmh(), x.screenNumber(), *id,
                                   fullScreen ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE,
                                   x.ewmh()._NET_WM_STATE_FULLSCREEN, XCB_ATOM_NONE,
                                   XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
  if (minimized) {
    // Clients can't set _NET_WM_STATE_HIDDEN; the window manager minimises on WM_CHANGE_STATE.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = *id;
    event.type = x.atom("WM_CHANGE_STATE");
    event.data.data32[0] = XCB_ICCCM_WM_STATE_ICONIC;
    xcb_send_event(x.connection(), 0, x.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
  }
  return flushed(x);
}

Result<std::int64_t> X11WindowControl::clipboardMark() {
  auto display = X11Display::open(display_);
  if (!display) return Unexpected(display.error());
  X11Display& x = **display;
  const xcb_atom_t clipboard = x.atom("CLIPBOARD");
  auto* reply = xcb_get_selection_owner_reply(
      x.connection(), xcb_get_selection_owner(x.connection(), clipboard), nullptr);
  if (reply == nullptr) return fail("The X display didn't say who owns the clipboard.");
  const std::int64_t owner = reply->owner;
  std::free(reply);
  return owner;
}

}  // namespace brimwell
