#include "linux/system_bus.h"

#include <cstring>

namespace brimwell {

Result<SdBus> openSystemBus(std::uint64_t callTimeoutMicroseconds) {
  sd_bus* raw = nullptr;
  const int result = sd_bus_open_system(&raw);
  SdBus bus(raw);
  if (result < 0) {
    return fail("The system bus can't be reached (" + std::string(std::strerror(-result)) + ").");
  }
  sd_bus_set_method_call_timeout(bus.get(), callTimeoutMicroseconds);
  return bus;
}

std::string busFailure(const SdBusError& error, int result) {
  if (error.isSet() && error.message() != nullptr && *error.message() != '\0') {
    return error.message();
  }
  return std::strerror(-result);
}

}  // namespace brimwell
