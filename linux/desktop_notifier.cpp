#include "linux/desktop_notifier.h"

namespace brimwell {
namespace {

constexpr const char* kServer = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

// Appends the Notify arguments; false when the message refused one.
bool appendNotify(sd_bus_message* message, const std::string& appName, const Notice& notice) {
  if (sd_bus_message_append(message, "susss", appName.c_str(), 0u, "", notice.summary.c_str(),
                            notice.body.c_str()) < 0 ||
      sd_bus_message_open_container(message, 'a', "s") < 0) {
    return false;
  }
  for (const auto& [key, label] : notice.actions) {
    if (sd_bus_message_append(message, "ss", key.c_str(), label.c_str()) < 0) return false;
  }
  return sd_bus_message_close_container(message) >= 0 &&
         sd_bus_message_append(message, "a{sv}i", 0, -1) >= 0;
}

}  // namespace

std::shared_ptr<DesktopNotifier> DesktopNotifier::create(std::shared_ptr<BusConnection> sessionBus,
                                                         std::string appName) {
  return std::shared_ptr<DesktopNotifier>(
      new DesktopNotifier(std::move(sessionBus), std::move(appName)));
}

bool DesktopNotifier::start() {
  const auto weak = weak_from_this();
  actionSignal_ =
      bus_->subscribe(nullptr, kPath, kServer, "ActionInvoked", [weak](sd_bus_message* message) {
        std::uint32_t id = 0;
        const char* key = nullptr;
        const auto self = weak.lock();
        if (!self || sd_bus_message_read(message, "us", &id, &key) < 0) return;
        const auto waiting = self->waiting_.find(id);
        if (waiting == self->waiting_.end()) return;
        const auto onAction = std::move(waiting->second);
        self->waiting_.erase(waiting);
        onAction(key);
      });
  closedSignal_ = bus_->subscribe(
      nullptr, kPath, kServer, "NotificationClosed", [weak](sd_bus_message* message) {
        std::uint32_t id = 0, reason = 0;
        const auto self = weak.lock();
        if (!self || sd_bus_message_read(message, "uu", &id, &reason) < 0) {
          return;
        }
        self->waiting_.erase(id);
      });
  return actionSignal_ && closedSignal_;
}

void DesktopNotifier::notify(const Notice& notice,
                             std::function<void(const std::string&)> onAction) {
  auto message = bus_->newCall(kServer, kPath, kServer, "Notify");
  if (message && !appendNotify(message.get(), appName_, notice)) message.reset();
  bus_->call(std::move(message), [weak = weak_from_this(), onAction = std::move(onAction)](
                                     Result<sd_bus_message*> reply) mutable {
    std::uint32_t id = 0;
    const auto self = weak.lock();
    if (!self || !onAction || !reply || sd_bus_message_read(*reply, "u", &id) < 0) return;
    self->waiting_[id] = std::move(onAction);
  });
}

}  // namespace brimwell
