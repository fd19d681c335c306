// Owning handles for sd-bus objects, so every early return releases what it took.
#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace brimwell {

struct SdBusUnref {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using SdBus = std::unique_ptr<sd_bus, SdBusUnref>;
using SdBusMessage = std::unique_ptr<sd_bus_message, SdBusUnref>;
using SdBusSlot = std::unique_ptr<sd_bus_slot, SdBusUnref>;

// An sd_bus_error freed when it goes out of scope.
class SdBusError {
 public:
  SdBusError() = default;
  ~SdBusError() { sd_bus_error_free(&error_); }
  SdBusError(const SdBusError&) = delete;
  SdBusError& operator=(const SdBusError&) = delete;

  sd_bus_error* get() { return &error_; }
  bool isSet() const { return sd_bus_error_is_set(&error_) != 0; }
  const char* name() const { return error_.name; }
  const char* message() const { return error_.message; }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

}  // namespace brimwell
