// HibernateMode: the only battery hibernate modes the daemon ever writes. Plain value; any thread.
#pragma once

#include <cstdint>
#include <optional>

namespace brimwell {

enum class HibernateMode : std::int64_t {
  noImage = 0,
  memoryPowered = 3,
  hibernate = 25,
};

inline std::int64_t rawValue(HibernateMode mode) { return static_cast<std::int64_t>(mode); }

// The mode with raw value `raw`; absent for any other number.
std::optional<HibernateMode> hibernateModeFromRaw(std::int64_t raw);

}  // namespace brimwell
