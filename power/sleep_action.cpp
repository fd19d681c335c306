#include "power/sleep_action.h"

namespace brimwell {

std::optional<SleepAction> sleepActionFor(int hibernateMode) {
  switch (hibernateMode) {
    case 0:
      return SleepAction::suspend;
    case 3:
      return SleepAction::hybridSleep;
    case 25:
      return SleepAction::hibernate;
    default:
      return std::nullopt;
  }
}

std::string_view logindMethod(SleepAction action) {
  switch (action) {
    case SleepAction::suspend:
      return "Suspend";
    case SleepAction::hybridSleep:
      return "HybridSleep";
    case SleepAction::hibernate:
      break;
  }
  return "Hibernate";
}

std::string_view sleepVerb(SleepAction action) {
  switch (action) {
    case SleepAction::suspend:
      return "suspend";
    case SleepAction::hybridSleep:
      return "hybrid-sleep";
    case SleepAction::hibernate:
      break;
  }
  return "hibernate";
}

bool sleepAllowed(std::string_view canAnswer) {
  return canAnswer == "yes" || canAnswer == "challenge";
}

}  // namespace brimwell
