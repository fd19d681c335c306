#include "helper/hibernate_mode.h"

namespace brimwell {

std::optional<HibernateMode> hibernateModeFromRaw(std::int64_t raw) {
  for (HibernateMode mode :
       {HibernateMode::noImage, HibernateMode::memoryPowered, HibernateMode::hibernate}) {
    if (rawValue(mode) == raw) return mode;
  }
  return std::nullopt;
}

}  // namespace brimwell
