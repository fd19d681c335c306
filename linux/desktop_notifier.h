// DesktopNotifier: shows notifications through the desktop's notification server on the session
// bus, and tells which action of a notification the user chose. Thread of the bus connection
// only. Owned through a std::shared_ptr (replies hold it weakly).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "linux/bus_connection.h"

namespace brimwell {

struct Notice {
  std::string summary;
  std::string body;
  // Action keys and the labels the user sees, in order.
  std::vector<std::pair<std::string, std::string>> actions;

  friend bool operator==(const Notice&, const Notice&) = default;
};

class DesktopNotifier : public std::enable_shared_from_this<DesktopNotifier> {
 public:
  static std::shared_ptr<DesktopNotifier> create(std::shared_ptr<BusConnection> sessionBus,
                                                 std::string appName = "Brimwell");
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;

  // Listens for chosen actions and closed notifications; false when the bus refuses.
  bool start();
  // Shows `notice`. `onAction` hears the key of the action the user chooses, at most once; a
  // notice the server could not show, or one closed without a choice, never calls it.
  void notify(const Notice& notice, std::function<void(const std::string& key)> onAction = {});

 private:
  DesktopNotifier(std::shared_ptr<BusConnection> bus, std::string appName)
      : bus_(std::move(bus)), appName_(std::move(appName)) {}

  std::shared_ptr<BusConnection> bus_;
  std::string appName_;
  SdBusSlot actionSignal_;
  SdBusSlot closedSignal_;
  std::map<std::uint32_t, std::function<void(const std::string&)>> waiting_;
};

}  // namespace brimwell
