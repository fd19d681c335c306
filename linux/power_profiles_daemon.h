// The active profile of the power profiles service (net.hadess.PowerProfiles on the system bus).
// Blocking calls on the caller's bus; one thread at a time per bus.
#pragma once

#include <optional>
#include <string>

#include "brimwell/core/base/error.h"
#include "linux/sd_bus_ptr.h"

namespace brimwell {

// The ActiveProfile property (power-saver, balanced, performance); absent when the service is not
// on the bus; one sentence when it answered with an error.
Result<std::optional<std::string>> activePowerProfile(sd_bus* bus);

Status setActivePowerProfile(sd_bus* bus, const std::string& profile);

}  // namespace brimwell
