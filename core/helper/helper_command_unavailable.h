// HelperCommandUnavailable: the error for an operation the helper cannot perform in this build.
// Plain value; any thread.
#pragma once

#include <string>

namespace brimwell {

struct HelperCommandUnavailable {
  // What could not be done, phrased to follow "can't".
  std::string command;

  std::string describe() const {
    return "The Brimwell helper can't " + command + " in this build.";
  }
  friend bool operator==(const HelperCommandUnavailable&,
                         const HelperCommandUnavailable&) = default;
};

}  // namespace brimwell
