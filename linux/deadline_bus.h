// DeadlineBus: a blocking sd-bus connection on which no call waits longer than its limit, from
// connecting and authenticating to the reply, so a silent or frozen bus can't hang the caller.
// Once a call has gone unanswered the bus counts as silent and later calls fail at once with the
// same sentence. One thread at a time.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "brimwell/core/base/error.h"
#include "linux/sd_bus_ptr.h"

namespace brimwell {

class DeadlineBus {
 public:
  enum class Kind { system, session };

  // The bus of `kind` as this process's environment names it (DBUS_SYSTEM_BUS_ADDRESS,
  // DBUS_SESSION_BUS_ADDRESS); a bus that can't be opened fails every call with its sentence.
  DeadlineBus(Kind kind, std::chrono::milliseconds limit);
  DeadlineBus(const DeadlineBus&) = delete;
  DeadlineBus& operator=(const DeadlineBus&) = delete;

  // A method call to fill in and pass to call(); empty when the bus is unusable.
  SdBusMessage newCall(const char* destination, const char* path, const char* interface,
                       const char* member);
  // Sends `message` and waits for its reply until the limit. An error reply, a call that can't
  // be sent or no reply in time fails with one clause (lower case, no full stop) for a sentence
  // to hold in parentheses; a name nobody owns fails with the code ENOENT.
  Result<SdBusMessage> call(SdBusMessage message);
  // A string property through org.freedesktop.DBus.Properties.Get.
  Result<std::string> stringProperty(const char* destination, const char* path,
                                     const char* interface, const char* property);
  // The process owning `name`, as the bus itself tells it; nothing when no one owns it or the bus
  // can't be asked.
  std::optional<int> ownerProcess(const char* name);

 private:
  // Closed without a flush: flushing a connection that never finished authenticating would wait
  // for the bus's own 90-second limit.
  struct CloseUnref {
    void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
  };
  std::unique_ptr<sd_bus, CloseUnref> bus_;
  std::chrono::milliseconds limit_;
  std::string name_;
  std::string broken_;  // why every call fails, once the bus is unusable or silent
};

}  // namespace brimwell
