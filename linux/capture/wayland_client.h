// WaylandClient: one connection to the compositor, opened for one task and closed with the
// object, with the globals Brimwell uses bound: the seat, the clipboard manager
// (zwlr_data_control_manager_v1), the virtual keyboard manager and KWin's fake input
// (org_kde_kwin_fake_input, from version 4, which presses keys). Every wait on the compositor
// has a deadline. Not shared between threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "brimwell/core/base/error.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
struct org_kde_kwin_fake_input;

namespace brimwell {

class WaylandClient {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // Connects to `display` (empty: $WAYLAND_DISPLAY) and learns the compositor's globals within
  // `timeout` seconds; fails with one sentence when there is no compositor to reach.
  static Result<std::unique_ptr<WaylandClient>> open(const std::string& display, double timeout);
  ~WaylandClient();
  WaylandClient(const WaylandClient&) = delete;
  WaylandClient& operator=(const WaylandClient&) = delete;

  wl_display* display() const { return display_; }
  wl_seat* seat() const { return seat_; }
  // Null when the compositor doesn't offer the protocol.
  zwlr_data_control_manager_v1* dataControl() const { return dataControl_; }
  zwp_virtual_keyboard_manager_v1* virtualKeyboard() const { return virtualKeyboard_; }
  org_kde_kwin_fake_input* fakeInput() const { return fakeInput_; }

  // Sends what is queued and handles the compositor's events until `done` holds, the compositor
  // has handled every request sent before (when `done` is empty), or `deadline` passes.
  Status dispatchUntil(const std::function<bool()>& done, Deadline deadline);
  Status roundtrip(Deadline deadline) { return dispatchUntil({}, deadline); }

  static Deadline after(double seconds);
  // The milliseconds until `deadline`, 0 once it passed, at most a minute: a poll's timeout.
  static int millisecondsLeft(Deadline deadline);

  // The registry's announcement of a global (public only for the listener).
  static void globalFor(void* data, wl_registry* registry, std::uint32_t name,
                        const char* interface, std::uint32_t version);

 private:
  WaylandClient() = default;

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  zwlr_data_control_manager_v1* dataControl_ = nullptr;
  zwp_virtual_keyboard_manager_v1* virtualKeyboard_ = nullptr;
  org_kde_kwin_fake_input* fakeInput_ = nullptr;
};

}  // namespace brimwell
