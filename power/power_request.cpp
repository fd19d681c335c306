#include "power/power_request.h"

#include <algorithm>
#include <initializer_list>

namespace brimwell {

Result<PowerRequest> parsePowerRequest(const std::vector<std::string>& arguments) {
  using namespace power_request;
  const auto is = [&](std::initializer_list<const char*> words) {
    return arguments.size() == words.size() &&
           std::equal(words.begin(), words.end(), arguments.begin());
  };
  if (is({"-g"})) return PowerRequest(ReadSettings{});
  if (is({"-g", "custom"})) return PowerRequest(ReadCustom{});
  if (is({"sleepnow"})) return PowerRequest(SleepNow{});
  if (arguments.size() == 3 && arguments[1] == "lowpowermode" &&
      (arguments[0] == "-a" || arguments[0] == "-b")) {
    if (arguments[2] != "0" && arguments[2] != "1") {
      return fail("Low Power Mode is 0 or 1, not " + arguments[2] + ".");
    }
    return PowerRequest(SetLowPowerMode{arguments[0] == "-a", arguments[2] == "1"});
  }
  if (arguments.size() == 3 && arguments[0] == "-b" && arguments[1] == "hibernatemode") {
    for (int mode : {0, 3, 25}) {
      if (arguments[2] == std::to_string(mode)) return PowerRequest(SetBatteryHibernateMode{mode});
    }
    return fail("The hibernate mode is 0, 3 or 25, not " + arguments[2] + ".");
  }
  return fail(
      "This tool answers only -g, -g custom, sleepnow, -a or -b lowpowermode 0 or 1, and "
      "-b hibernatemode 0, 3 or 25.");
}

}  // namespace brimwell
