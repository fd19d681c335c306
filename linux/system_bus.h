// A fresh connection to the system bus (DBUS_SYSTEM_BUS_ADDRESS when set, which sd-bus honours),
// with a bound on every method call so no caller waits long for a stuck peer.
#pragma once

#include <cstdint>

#include "brimwell/core/base/error.h"
#include "linux/sd_bus_ptr.h"

namespace brimwell {

// The connection, or one sentence when the bus can't be reached.
Result<SdBus> openSystemBus(std::uint64_t callTimeoutMicroseconds = 4'000'000);

// The sentence for a failed sd-bus call: the bus's own message, else the system's text for
// `result` (a negative error number).
std::string busFailure(const SdBusError& error, int result);

}  // namespace brimwell
