#include "linux/save/xcb_save_keyboard.h"

#include <poll.h>
#include <xcb/xcbext.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kControlL = 0xffe3;  // the keysyms Control_L and s
constexpr std::uint32_t kLowerS = 0x0073;

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

// The reply to request `sequence`, or nothing when the server answers with an error, the
// connection breaks or `timeout` seconds pass. Reads the connection without blocking past that.
template <class Reply>
ReplyPtr<Reply> awaitReply(xcb_connection_t* connection, unsigned sequence, double timeout) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(timeout);
  xcb_flush(connection);
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(connection, sequence, &reply, &error) != 0) {
      std::free(error);
      return ReplyPtr<Reply>(static_cast<Reply*>(reply));
    }
    // Reading pending events pulls waiting replies in from the connection.
    if (auto* event = xcb_poll_for_event(connection)) {
      std::free(event);
      continue;
    }
    if (xcb_connection_has_error(connection)) return nullptr;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return nullptr;
    pollfd readable{.fd = xcb_get_file_descriptor(connection), .events = POLLIN};
    ::poll(&readable, 1, static_cast<int>(left));
  }
}

xcb_get_property_cookie_t askProperty(xcb_connection_t* connection, xcb_window_t window,
                                      xcb_atom_t property, xcb_atom_t type) {
  return xcb_get_property(connection, 0, window, property, type, 0, 4096);
}

std::optional<std::uint32_t> firstWord(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != 32 || xcb_get_property_value_length(reply) < 4) {
    return std::nullopt;
  }
  std::uint32_t word = 0;
  std::memcpy(&word, xcb_get_property_value(reply), 4);
  return word;
}

}  // namespace

XcbSaveKeyboard::XcbSaveKeyboard(std::string display, double replyTimeout, double activationTimeout)
    : name_(std::move(display)),
      replyTimeout_(replyTimeout),
      activationTimeout_(activationTimeout) {}

XcbSaveKeyboard::~XcbSaveKeyboard() = default;

Result<X11Display*> XcbSaveKeyboard::display() {
  if (!display_) {
    auto opened = X11Display::open(name_);
    if (!opened) return Unexpected(opened.error());
    display_ = std::move(*opened);
  }
  return display_.get();
}

Result<std::vector<ClientWindow>> XcbSaveKeyboard::windows() {
  auto opened = display();
  if (!opened) return Unexpected(opened.error());
  X11Display& x = **opened;
  xcb_connection_t* c = x.connection();
  auto& ewmh = x.ewmh();
  const auto list = awaitReply<xcb_get_property_reply_t>(
      c, askProperty(c, x.root(), ewmh._NET_CLIENT_LIST, XCB_ATOM_WINDOW).sequence, replyTimeout_);
  if (!list || list->format != 32) {
    return fail("The window manager doesn't list its windows.");
  }
  const auto count = static_cast<std::size_t>(xcb_get_property_value_length(list.get())) / 4;
  const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
  std::vector<ClientWindow> windows;
  std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> asked;
  for (std::size_t i = 0; i < count; ++i) {
    windows.push_back({.id = x11WindowId(ids[i])});
    asked.emplace_back(askProperty(c, ids[i], ewmh._NET_WM_PID, XCB_ATOM_CARDINAL),
                       askProperty(c, ids[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING));
  }
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const auto pid =
        awaitReply<xcb_get_property_reply_t>(c, asked[i].first.sequence, replyTimeout_);
    if (const auto word = firstWord(pid.get()); word && *word > 0 && *word < (1u << 31)) {
      windows[i].pid = static_cast<int>(*word);
    }
    const auto appClass =
        awaitReply<xcb_get_property_reply_t>(c, asked[i].second.sequence, replyTimeout_);
    if (appClass && appClass->format == 8) {
      const std::string text(
          static_cast<const char*>(xcb_get_property_value(appClass.get())),
          static_cast<std::size_t>(xcb_get_property_value_length(appClass.get())));
      const auto split = text.find('\0');
      windows[i].appInstance = text.substr(0, split);
      if (split != std::string::npos) windows[i].appClass = text.substr(split + 1);
      while (!windows[i].appClass.empty() && windows[i].appClass.back() == '\0') {
        windows[i].appClass.pop_back();
      }
    }
  }
  return windows;
}

std::optional<WindowId> XcbSaveKeyboard::activeWindow() {
  auto opened = display();
  if (!opened) return std::nullopt;
  X11Display& x = **opened;
  const auto reply = awaitReply<xcb_get_property_reply_t>(
      x.connection(),
      askProperty(x.connection(), x.root(), x.ewmh()._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW).sequence,
      replyTimeout_);
  const auto window = firstWord(reply.get());
  if (!window || *window == XCB_WINDOW_NONE) return std::nullopt;
  return x11WindowId(*window);
}

Status XcbSaveKeyboard::activate(const WindowId& window) {
  const auto id = parseX11WindowId(window);
  if (!id) return fail("There is no X window " + window + ".");
  auto opened = display();
  if (!opened) return Unexpected(opened.error());
  X11Display& x = **opened;
  xcb_ewmh_request_change_active_window(&x.ewmh(), x.screenNumber(), *id,
                                        XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                        XCB_WINDOW_NONE);
  if (waitUntilActive(*this, window, activationTimeout_)) return {};
  return fail("The window manager didn't bring the window to the front.");
}

Status XcbSaveKeyboard::pressControlS() {
  auto opened = display();
  if (!opened) return Unexpected(opened.error());
  xcb_connection_t* c = (*opened)->connection();
  const auto extension = awaitReply<xcb_query_extension_reply_t>(
      c, xcb_query_extension(c, 5, "XTEST").sequence, replyTimeout_);
  if (!extension || !extension->present) return fail("The X server can't fake key presses.");
  const xcb_setup_t* setup = xcb_get_setup(c);
  const auto first = setup->min_keycode;
  const auto span = static_cast<std::uint8_t>(setup->max_keycode - first + 1);
  const auto mapping = awaitReply<xcb_get_keyboard_mapping_reply_t>(
      c, xcb_get_keyboard_mapping(c, first, span).sequence, replyTimeout_);
  if (!mapping) return fail("The X server didn't tell its keyboard mapping.");
  const auto perKey = mapping->keysyms_per_keycode;
  const auto* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
  const auto symbols = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
  xcb_keycode_t control = 0, s = 0;
  for (int i = 0; perKey > 0 && i < symbols; ++i) {
    const auto keycode = static_cast<xcb_keycode_t>(first + i / perKey);
    if (keysyms[i] == kControlL && control == 0) control = keycode;
    if (keysyms[i] == kLowerS && s == 0) s = keycode;
  }
  if (control == 0 || s == 0) return fail("The keyboard has no Control or S key.");
  for (const auto& [type, key] :
       {std::pair{XCB_KEY_PRESS, control}, std::pair{XCB_KEY_PRESS, s},
        std::pair{XCB_KEY_RELEASE, s}, std::pair{XCB_KEY_RELEASE, control}}) {
    xcb_test_fake_input(c, static_cast<std::uint8_t>(type), key, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
  }
  // The server handles requests in order: once this answers, the keys have been delivered.
  if (!awaitReply<xcb_get_input_focus_reply_t>(c, xcb_get_input_focus(c).sequence, replyTimeout_)) {
    return fail("The X server didn't confirm the key presses.");
  }
  return {};
}

}  // namespace brimwell
