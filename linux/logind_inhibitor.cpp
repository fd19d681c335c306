#include "linux/logind_inhibitor.h"

#include <fcntl.h>
#include <unistd.h>

namespace brimwell {

struct LogindInhibitor::Lock {
  int fd = -1;
  bool ended = false;
  std::function<void(bool)> answered;
};

LogindInhibitor::LogindInhibitor(BusConnection& bus, const InhibitorRequest& request,
                                 std::function<void(bool)> answered)
    : lock_(std::make_shared<Lock>()) {
  lock_->answered = std::move(answered);
  auto message = bus.newCall("org.freedesktop.login1", "/org/freedesktop/login1",
                             "org.freedesktop.login1.Manager", "Inhibit");
  if (message &&
      sd_bus_message_append(message.get(), "ssss", request.what.c_str(), request.who.c_str(),
                            request.why.c_str(), request.mode.c_str()) < 0) {
    message.reset();
  }
  bus.call(std::move(message), [lock = lock_](Result<sd_bus_message*> reply) {
    int fd = -1;
    if (reply) {
      int given = -1;
      // The message owns the descriptor it carries; keep a copy of our own.
      if (sd_bus_message_read(*reply, "h", &given) >= 0) fd = ::fcntl(given, F_DUPFD_CLOEXEC, 3);
    }
    if (lock->ended) {
      if (fd >= 0) ::close(fd);
      return;
    }
    lock->fd = fd;
    if (lock->answered) lock->answered(fd >= 0);
  });
}

LogindInhibitor::~LogindInhibitor() {
  lock_->ended = true;
  lock_->answered = nullptr;
  if (lock_->fd >= 0) ::close(lock_->fd);
  lock_->fd = -1;
}

bool LogindInhibitor::held() const { return lock_->fd >= 0; }

}  // namespace brimwell
