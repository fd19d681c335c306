#include "linux/capture/wayland_client.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fake-input-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace brimwell {
namespace {

const wl_registry_listener kRegistryListener = {
    [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
       std::uint32_t version) {
      WaylandClient::globalFor(data, registry, name, interface, version);
    },
    [](void*, wl_registry*, std::uint32_t) {}};

}  // namespace

int WaylandClient::millisecondsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
  return left > 0 ? static_cast<int>(std::min<long long>(left, 60'000)) : 0;
}

WaylandClient::Deadline WaylandClient::after(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<double>(seconds));
}

Result<std::unique_ptr<WaylandClient>> WaylandClient::open(const std::string& display,
                                                           double timeout) {
  const char* name = display.empty() ? std::getenv("WAYLAND_DISPLAY") : display.c_str();
  if (name == nullptr || *name == '\0') return fail("There is no Wayland display to ask.");
  std::unique_ptr<WaylandClient> client(new WaylandClient());
  client->display_ = wl_display_connect(name);
  if (client->display_ == nullptr) {
    return fail("The Wayland display " + std::string(name) + " can't be reached.");
  }
  client->registry_ = wl_display_get_registry(client->display_);
  wl_registry_add_listener(client->registry_, &kRegistryListener, client.get());
  if (auto learned = client->roundtrip(after(timeout)); !learned)
    return Unexpected(learned.error());
  if (client->seat_ == nullptr) return fail("The compositor offers no seat.");
  return client;
}

void WaylandClient::globalFor(void* data, wl_registry* registry, std::uint32_t name,
                              const char* interface, std::uint32_t version) {
  auto* self = static_cast<WaylandClient*>(data);
  const auto is = [&](const wl_interface& known) {
    return std::strcmp(interface, known.name) == 0;
  };
  if (is(wl_seat_interface) && self->seat_ == nullptr) {
    self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (is(zwlr_data_control_manager_v1_interface) && self->dataControl_ == nullptr) {
    self->dataControl_ = static_cast<zwlr_data_control_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
  } else if (is(zwp_virtual_keyboard_manager_v1_interface) && self->virtualKeyboard_ == nullptr) {
    self->virtualKeyboard_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
  } else if (is(org_kde_kwin_fake_input_interface) && self->fakeInput_ == nullptr && version >= 4) {
    // Version 4 is the first whose keys can be pressed.
    self->fakeInput_ = static_cast<org_kde_kwin_fake_input*>(
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
  }
}

WaylandClient::~WaylandClient() {
  if (fakeInput_ != nullptr) org_kde_kwin_fake_input_destroy(fakeInput_);
  if (virtualKeyboard_ != nullptr) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(virtualKeyboard_));
  if (dataControl_ != nullptr) zwlr_data_control_manager_v1_destroy(dataControl_);
  if (seat_ != nullptr) wl_seat_destroy(seat_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  if (display_ != nullptr) wl_display_disconnect(display_);
}

Status WaylandClient::dispatchUntil(const std::function<bool()>& done, Deadline deadline) {
  bool synced = false;
  wl_callback* callback = nullptr;
  static const wl_callback_listener kSynced = {
      [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
  if (!done) {
    callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &kSynced, &synced);
  }
  const auto finished = [&] { return done ? done() : synced; };
  Status outcome;
  for (;;) {
    if (wl_display_dispatch_pending(display_) < 0) {
      outcome = fail("The compositor closed the connection.");
      break;
    }
    if (finished()) break;
    // Send what is queued, then wait for events with the time that is left.
    while (wl_display_prepare_read(display_) != 0) {
      if (wl_display_dispatch_pending(display_) < 0) break;
    }
    if (finished()) {
      wl_display_cancel_read(display_);
      break;
    }
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(display_);
      outcome = fail("The compositor closed the connection.");
      break;
    }
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    const int wait = millisecondsLeft(deadline);
    const int ready = wait > 0 ? ::poll(&p, 1, wait) : 0;
    if (ready <= 0) {
      wl_display_cancel_read(display_);
      if (ready < 0 && errno == EINTR) continue;
      outcome = fail("The compositor didn't answer in time.");
      break;
    }
    if (wl_display_read_events(display_) < 0) {
      outcome = fail("The compositor closed the connection.");
      break;
    }
  }
  if (callback != nullptr) wl_callback_destroy(callback);
  return outcome;
}

}  // namespace brimwell
