// HelperState: whether the helper daemon can be used, and why not. Plain value with equality
// (an unreachable state compares its reason too); any thread.
#pragma once

#include <string>
#include <variant>

namespace brimwell {

namespace helper_state {
// The daemon should be there but could not be reached; `reason` says why.
struct Unreachable {
  std::string reason;
  friend bool operator==(const Unreachable&, const Unreachable&) = default;
};
// Installed, allowed to run and answering.
struct Ready {
  friend bool operator==(const Ready&, const Ready&) = default;
};
// Not registered with the system.
struct NotInstalled {
  friend bool operator==(const NotInstalled&, const NotInstalled&) = default;
};
// Registered, but the user still has to allow it.
struct NeedsApproval {
  friend bool operator==(const NeedsApproval&, const NeedsApproval&) = default;
};
// Cannot be registered until the application lies where applications are installed.
struct NeedsApplicationsFolder {
  friend bool operator==(const NeedsApplicationsFolder&, const NeedsApplicationsFolder&) = default;
};
}  // namespace helper_state

using HelperState =
    std::variant<helper_state::Unreachable, helper_state::Ready, helper_state::NotInstalled,
                 helper_state::NeedsApproval, helper_state::NeedsApplicationsFolder>;

}  // namespace brimwell
