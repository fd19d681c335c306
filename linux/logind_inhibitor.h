// LogindInhibitor: one logind inhibitor lock. logind hands the lock over as a file descriptor and
// drops it when that descriptor is closed: ending this object (or this process) closes it, also
// when logind answers only after the end. Thread of the bus connection only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "linux/bus_connection.h"

namespace brimwell {

struct InhibitorRequest {
  std::string what;  // "idle", "sleep", "shutdown", or several joined by ':'
  std::string who;
  std::string why;
  std::string mode;  // "block" or "delay"
};

class LogindInhibitor {
 public:
  // Asks logind for the lock; `answered(true)` once it is held, `answered(false)` when logind
  // refused or could not be asked. Answers only while this object lives.
  LogindInhibitor(BusConnection& bus, const InhibitorRequest& request,
                  std::function<void(bool held)> answered = {});
  ~LogindInhibitor();
  LogindInhibitor(const LogindInhibitor&) = delete;
  LogindInhibitor& operator=(const LogindInhibitor&) = delete;

  bool held() const;

 private:
  struct Lock;
  std::shared_ptr<Lock> lock_;
};

}  // namespace brimwell
