#include "helper/call_authority.h"

namespace brimwell {

HelperAction actionFor(HelperCall call) {
  switch (call) {
    case HelperCall::helperVersion:
    case HelperCall::lowPowerMode:
    case HelperCall::batteryHibernateMode:
      return HelperAction::read;
    case HelperCall::setLowPowerMode:
    case HelperCall::setBatteryHibernateMode:
    case HelperCall::sleepNow:
    case HelperCall::beginLowPowerMode:
    case HelperCall::endLowPowerMode:
    case HelperCall::beginSafeLanding:
    case HelperCall::endSafeLanding:
      break;
  }
  return HelperAction::change;
}

std::string_view polkitActionId(HelperAction action) {
  return action == HelperAction::read ? "com.tallowgate.brimwell.helper.read"
                                      : "com.tallowgate.brimwell.helper.change";
}

std::string refusalSentence(HelperAction action, const Authorization& authorization) {
  using Verdict = Authorization::Verdict;
  switch (authorization.verdict) {
    case Verdict::allowed:
      return "";
    case Verdict::denied:
      return action == HelperAction::read
                 ? "This user may not read the power settings through the Brimwell helper."
                 : "This user may not change the power settings or sleep the machine through the "
                   "Brimwell helper.";
    case Verdict::unanswered:
      return "The Brimwell helper refused the call because polkit did not answer within 5 "
             "seconds.";
    case Verdict::unreachable:
      return "The Brimwell helper refused the call because polkit cannot be asked (" +
             authorization.detail + ").";
    case Verdict::peerGone:
      return "The Brimwell helper refused the call because the process that connected has ended.";
  }
  return "";
}

}  // namespace brimwell
