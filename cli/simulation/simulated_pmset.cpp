#include "cli/simulation/simulated_pmset.h"

#include <charconv>

namespace brimwell::simulation {
namespace {

std::string block(bool lowPowerMode, std::int64_t hibernateMode) {
  return " lowpowermode         " + std::string(lowPowerMode ? "1" : "0") +
         "\n hibernatemode        " + std::to_string(hibernateMode) +
         "\n sleep                1\n displaysleep         2\n";
}

std::optional<std::int64_t> number(const std::string& text) {
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

CommandOutput refused(const std::vector<std::string>& arguments) {
  std::string line;
  for (const auto& argument : arguments) line += (line.empty() ? "" : " ") + argument;
  return CommandOutput{.status = 1, .stderr = "Usage error: " + line + "\n"};
}

}  // namespace

std::string SimulatedPmset::settingsListing() const {
  return "System-wide power settings:\nCurrently in use:\n" +
         block(onBattery ? batteryLowPowerMode : acLowPowerMode,
               onBattery ? batteryHibernateMode : acHibernateMode);
}

std::string SimulatedPmset::customListing() const {
  return "Battery Power:\n" + block(batteryLowPowerMode, batteryHibernateMode) + "AC Power:\n" +
         block(acLowPowerMode, acHibernateMode);
}

Expected<CommandOutput, CommandRunnerError> SimulatedPmset::run(
    const std::string& executable, const std::vector<std::string>& arguments, double, double) {
  std::string line = "pmset";
  for (const auto& argument : arguments) line += " " + argument;
  if (onCommand) onCommand(line);
  (void)executable;
  if (arguments == std::vector<std::string>{"-g"}) {
    return CommandOutput{.stdout = settingsListing()};
  }
  if (arguments == std::vector<std::string>{"-g", "custom"}) {
    return CommandOutput{.stdout = customListing()};
  }
  if (arguments == std::vector<std::string>{"sleepnow"}) {
    ++sleeps;
    return CommandOutput{.stdout = "Sleeping now...\n"};
  }
  if (arguments.size() == 3 && (arguments[0] == "-a" || arguments[0] == "-b")) {
    auto value = number(arguments[2]);
    if (!value) return refused(arguments);
    const bool all = arguments[0] == "-a";
    if (arguments[1] == "lowpowermode" && (*value == 0 || *value == 1)) {
      batteryLowPowerMode = *value == 1;
      if (all) acLowPowerMode = *value == 1;
      return CommandOutput{};
    }
    if (arguments[1] == "hibernatemode") {
      batteryHibernateMode = *value;
      if (all) acHibernateMode = *value;
      return CommandOutput{};
    }
  }
  return refused(arguments);
}

}  // namespace brimwell::simulation
