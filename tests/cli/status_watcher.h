// A StatusNotifierWatcher for one test, on a private bus: it owns org.kde.StatusNotifierWatcher
// while claimed, records every RegisterStatusNotifierItem call and counts the signals items send.
// It serves the bus only inside serveUntil(); one test thread uses it.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/private_bus.h"

namespace brimwell::testing {

class StatusWatcher {
 public:
  explicit StatusWatcher(const PrivateBus& bus) : bus_(bus.connect()) {
    if (sd_bus_add_object_vtable(bus_, nullptr, "/StatusNotifierWatcher",
                                 "org.kde.StatusNotifierWatcher", vtable, this) < 0 ||
        sd_bus_add_match(bus_, nullptr, "type='signal'", onSignal, this) < 0) {
      throw std::runtime_error("The test watcher can't serve on the private bus.");
    }
  }
  ~StatusWatcher() { sd_bus_flush_close_unref(bus_); }
  StatusWatcher(const StatusWatcher&) = delete;
  StatusWatcher& operator=(const StatusWatcher&) = delete;

  sd_bus* bus() const { return bus_; }
  void claim() {
    if (sd_bus_request_name(bus_, "org.kde.StatusNotifierWatcher", 0) < 0) {
      throw std::runtime_error("The test watcher can't own its name.");
    }
  }
  void release() { sd_bus_release_name(bus_, "org.kde.StatusNotifierWatcher"); }

  // Serves the bus until `condition` holds or `seconds` have passed; whether it held.
  template <class Condition>
  bool serveUntil(Condition condition, double seconds = 10) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(long(seconds * 1000));
    while (!condition()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      if (sd_bus_process(bus_, nullptr) > 0) continue;
      sd_bus_wait(bus_, 50'000);
    }
    return true;
  }

  std::vector<std::string> registered;  // the service each registration named
  std::map<std::string, int> signals;   // member name → how many were seen

 private:
  static int onRegister(sd_bus_message* call, void* userdata, sd_bus_error*) {
    const char* service = nullptr;
    int r = sd_bus_message_read(call, "s", &service);
    if (r < 0) return r;
    static_cast<StatusWatcher*>(userdata)->registered.push_back(service);
    return sd_bus_reply_method_return(call, "");
  }
  static int onSignal(sd_bus_message* message, void* userdata, sd_bus_error*) {
    if (const char* member = sd_bus_message_get_member(message)) {
      ++static_cast<StatusWatcher*>(userdata)->signals[member];
    }
    return 0;
  }
  static inline const sd_bus_vtable vtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", onRegister, 0),
      SD_BUS_SIGNAL("StatusNotifierItemRegistered", "s", 0),
      SD_BUS_VTABLE_END,
  };

  sd_bus* bus_;
};

}  // namespace brimwell::testing
