#include "linux/settings_file.h"

#include <cerrno>
#include <system_error>

#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

// `sentence` without its final full stop and with a lower-case first letter, to follow a colon.
std::string clause(std::string sentence) {
  if (!sentence.empty() && sentence.back() == '.') sentence.pop_back();
  if (!sentence.empty() && sentence[0] >= 'A' && sentence[0] <= 'Z') sentence[0] += 'a' - 'A';
  return sentence;
}

SettingsFileReading unusable(const std::filesystem::path& file, const std::string& why) {
  return {BrimwellSettings::defaults(), true,
          "The settings file " + file.string() + " can't be used (" + why +
              "), so the defaults are in force."};
}

}  // namespace

SettingsFileReading judgeSettingsText(const std::filesystem::path& file, std::string_view text) {
  auto tree = BrimwellJSON::parseTree(text);
  if (!tree) return unusable(file, clause(tree.error().message()));
  if (!tree->is_object()) {
    return unusable(file, "it holds " + describeJsonType(*tree) + ", not a JSON object");
  }
  SettingsReading reading = readSettings(*tree);
  SettingsFileReading verdict{reading.settings, true, std::nullopt};
  if (!reading.rejectedFields.empty()) {
    verdict.problem = "The settings file " + file.string() + " has unusable values for " +
                      listed(reading.rejectedFields) + ", so those are at their defaults.";
  } else if (!reading.settings.thresholds.isValid()) {
    verdict.problem = "The settings file " + file.string() +
                      " has thresholds out of range or out of order, so the default thresholds "
                      "are used.";
  }
  return verdict;
}

SettingsFileReading readSettingsFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
    return {BrimwellSettings::defaults(), false, std::nullopt};
  }
  if (std::filesystem::is_directory(file, error)) return unusable(file, "it is a directory");
  auto text = readFile(file, kSmallFileLimit);
  if (!text && text.error().code() == EINVAL) return unusable(file, "it isn't a regular file");
  if (!text && text.error().code() == EFBIG) {
    return unusable(file, "it holds more than " + sizeInWords(kSmallFileLimit));
  }
  if (!text) return unusable(file, clause(text.error().message()));
  return judgeSettingsText(file, *text);
}

}  // namespace brimwell
