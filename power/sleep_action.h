// SleepAction: how the machine sleeps for each hibernate mode, as the login manager's operations
// (0 suspends, 3 suspends with a hibernation image, 25 hibernates). Pure functions; any thread.
#pragma once

#include <optional>
#include <string_view>

namespace brimwell {

enum class SleepAction { suspend, hybridSleep, hibernate };

// The action for hibernate mode 0, 3 or 25; absent for any other mode.
std::optional<SleepAction> sleepActionFor(int hibernateMode);

// The login manager's method: Suspend, HybridSleep or Hibernate (its question is "Can" + this).
std::string_view logindMethod(SleepAction action);

// The action as a verb for sentences: suspend, hybrid-sleep or hibernate.
std::string_view sleepVerb(SleepAction action);

// Whether the login manager's answer to the Can question lets the action be tried: "yes", or
// "challenge" (it would ask for authorisation); "no", "na" and anything else mean it can't.
bool sleepAllowed(std::string_view canAnswer);

}  // namespace brimwell
