// The settings file: the encoded BrimwellSettings record ("settings.v1") that the user keeps in
// settings.json. Reading it never fails and never writes it: a missing file means the defaults,
// a file that can't be used as a whole means the defaults and one sentence saying why, and a file
// with some unusable fields means its other fields and a sentence naming those. Any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"
#include "brimwell/core/storage/brimwell_settings.h"

namespace brimwell {

struct SettingsFileReading {
  BrimwellSettings settings;  // the settings in force
  bool exists = false;        // there is a file at the path
  // What is wrong with the file, as one sentence; absent when it is fine or missing.
  std::optional<std::string> problem;
  friend bool operator==(const SettingsFileReading&, const SettingsFileReading&) = default;
};

// The verdict on `text`, the content of the settings file at `file` (named in the sentences).
SettingsFileReading judgeSettingsText(const std::filesystem::path& file, std::string_view text);

// The settings file at `file`, read and judged.
SettingsFileReading readSettingsFile(const std::filesystem::path& file);

}  // namespace brimwell
