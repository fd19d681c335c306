#include "helper/helper_command.h"

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

}  // namespace brimwell
