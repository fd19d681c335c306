#include "power/pmset_report.h"

namespace brimwell {
namespace {

void entry(std::string& text, const std::string& key, int value) {
  text += ' ' + key + std::string(key.size() < 20 ? 20 - key.size() : 1, ' ') +
          std::to_string(value) + '\n';
}

void source(std::string& text, const char* header, const SourceSettings& settings,
            bool reportsLowPowerMode) {
  text += header;
  text += ":\n";
  entry(text, "hibernatemode", settings.hibernateMode);
  if (reportsLowPowerMode) entry(text, "lowpowermode", settings.lowPowerMode ? 1 : 0);
}

}  // namespace

std::string settingsReport(const SettingsInUse& inUse) {
  std::string text = "Currently in use:\n";
  entry(text, "hibernatemode", inUse.hibernateMode);
  if (inUse.lowPowerMode) entry(text, "lowpowermode", *inUse.lowPowerMode ? 1 : 0);
  entry(text, "SleepDisabled", inUse.sleepDisabled ? 1 : 0);
  return text;
}

std::string customReport(const PowerSettings& settings, bool reportsLowPowerMode) {
  std::string text;
  source(text, "Battery Power", settings.battery, reportsLowPowerMode);
  source(text, "AC Power", settings.ac, reportsLowPowerMode);
  return text;
}

}  // namespace brimwell
