#include "helper/command_runner.h"

namespace brimwell {

std::string CommandRunnerError::describe() const {
  if (const auto* launch = std::get_if<CouldNotLaunch>(&kind_)) {
    return "couldNotLaunch(\"" + launch->reason + "\")";
  }
  return "timedOut";
}

}  // namespace brimwell
