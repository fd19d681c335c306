// HelperCall: the ten operations of the helper daemon, named by their wire names. Used to size a
// client's deadlines. Plain value; any thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

enum class HelperCall {
  helperVersion,
  lowPowerMode,
  setLowPowerMode,
  batteryHibernateMode,
  setBatteryHibernateMode,
  sleepNow,
  beginLowPowerMode,
  endLowPowerMode,
  beginSafeLanding,
  endSafeLanding,
};

// Every case, in declaration order.
inline constexpr std::array<HelperCall, 10> allHelperCalls = {
    HelperCall::helperVersion,           HelperCall::lowPowerMode,
    HelperCall::setLowPowerMode,         HelperCall::batteryHibernateMode,
    HelperCall::setBatteryHibernateMode, HelperCall::sleepNow,
    HelperCall::beginLowPowerMode,       HelperCall::endLowPowerMode,
    HelperCall::beginSafeLanding,        HelperCall::endSafeLanding,
};

// The raw value: the case name.
std::string toString(HelperCall call);

template <class E>
std::optional<E> fromString(std::string_view raw);
// The case whose raw value is exactly `raw`; absent for any other text.
template <>
std::optional<HelperCall> fromString<HelperCall>(std::string_view raw);

// The largest number of pmset runs the daemon makes for `call`.
int commandRuns(HelperCall call);

}  // namespace brimwell
