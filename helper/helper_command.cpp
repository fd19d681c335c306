#include "helper/helper_command.h"

#include <algorithm>
#include <initializer_list>

namespace brimwell {
namespace {

struct ArgumentsOf {
  std::vector<std::string> operator()(const helper_command::SetAllLowPowerMode& c) const {
    return {"-a", "lowpowermode", c.on ? "1" : "0"};
  }
  std::vector<std::string> operator()(const helper_command::SetBatteryLowPowerMode& c) const {
    return {"-b", "lowpowermode", c.on ? "1" : "0"};
  }
  std::vector<std::string> operator()(const helper_command::SetBatteryHibernateMode& c) const {
    return {"-b", "hibernatemode", std::to_string(rawValue(c.mode))};
  }
  std::vector<std::string> operator()(const helper_command::ReadSettings&) const { return {"-g"}; }
  std::vector<std::string> operator()(const helper_command::ReadCustom&) const {
    return {"-g", "custom"};
  }
  std::vector<std::string> operator()(const helper_command::SleepNow&) const {
    return {"sleepnow"};
  }
};

}  // namespace

std::vector<std::string> arguments(const HelperCommand& command) {
  return std::visit(ArgumentsOf{}, command);
}

Result<HelperCommand> parseHelperCommand(const std::vector<std::string>& arguments) {
  using namespace helper_command;
  const auto is = [&](std::initializer_list<const char*> words) {
    return arguments.size() == words.size() &&
           std::equal(words.begin(), words.end(), arguments.begin());
  };
  if (is({"-g"})) return HelperCommand(ReadSettings{});
  if (is({"-g", "custom"})) return HelperCommand(ReadCustom{});
  if (is({"sleepnow"})) return HelperCommand(SleepNow{});
  if (arguments.size() == 3 && arguments[1] == "lowpowermode" &&
      (arguments[0] == "-a" || arguments[0] == "-b")) {
    if (arguments[2] != "0" && arguments[2] != "1") {
      return fail("Low Power Mode is 0 or 1, not " + arguments[2] + ".");
    }
    const bool on = arguments[2] == "1";
    if (arguments[0] == "-a") return HelperCommand(SetAllLowPowerMode{on});
    return HelperCommand(SetBatteryLowPowerMode{on});
  }
  if (arguments.size() == 3 && arguments[0] == "-b" && arguments[1] == "hibernatemode") {
    for (HibernateMode mode :
         {HibernateMode::noImage, HibernateMode::memoryPowered, HibernateMode::hibernate}) {
      if (arguments[2] == std::to_string(rawValue(mode))) {
        return HelperCommand(SetBatteryHibernateMode{mode});
      }
    }
    return fail("The hibernate mode is 0, 3 or 25, not " + arguments[2] + ".");
  }
  return fail(
      "This tool answers only -g, -g custom, sleepnow, -a or -b lowpowermode 0 or 1, and "
      "-b hibernatemode 0, 3 or 25.");
}

}  // namespace brimwell
