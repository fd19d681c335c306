#include "brimwell/core/helper/helper_call.h"

namespace brimwell {

std::string toString(HelperCall call) {
  switch (call) {
    case HelperCall::helperVersion:
      return "helperVersion";
    case HelperCall::lowPowerMode:
      return "lowPowerMode";
    case HelperCall::setLowPowerMode:
      return "setLowPowerMode";
    case HelperCall::batteryHibernateMode:
      return "batteryHibernateMode";
    case HelperCall::setBatteryHibernateMode:
      return "setBatteryHibernateMode";
    case HelperCall::sleepNow:
      return "sleepNow";
    case HelperCall::beginLowPowerMode:
      return "beginLowPowerMode";
    case HelperCall::endLowPowerMode:
      return "endLowPowerMode";
    case HelperCall::beginSafeLanding:
      return "beginSafeLanding";
    case HelperCall::endSafeLanding:
      return "endSafeLanding";
  }
  return "";
}

template <>
std::optional<HelperCall> fromString<HelperCall>(std::string_view raw) {
  for (HelperCall call : allHelperCalls) {
    if (toString(call) == raw) return call;
  }
  return std::nullopt;
}

int commandRuns(HelperCall call) {
  switch (call) {
    case HelperCall::helperVersion:
      return 0;
    case HelperCall::lowPowerMode:
      return 1;
    case HelperCall::setLowPowerMode:
      return 2;
    case HelperCall::batteryHibernateMode:
      return 1;
    case HelperCall::setBatteryHibernateMode:
      return 3;
    case HelperCall::sleepNow:
      return 1;
    case HelperCall::beginLowPowerMode:
      return 3;
    case HelperCall::endLowPowerMode:
      return 3;
    case HelperCall::beginSafeLanding:
      return 3;
    case HelperCall::endSafeLanding:
      return 2;
  }
  return 0;
}

}  // namespace brimwell
