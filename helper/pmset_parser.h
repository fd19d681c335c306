// PmsetParser: reads the power tool's settings text into sections of key-value pairs and extracts
// the three values the daemon needs. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

using PmsetSections = std::map<std::string, std::map<std::string, std::string>>;

namespace PmsetParser {

// Headers ("Name:") open sections; indented "key value" lines fill the open section.
PmsetSections sections(std::string_view text);

// Low Power Mode in force, from the settings listing.
std::optional<bool> lowPowerMode(std::string_view settingsText);
// Low Power Mode of the battery power source, from the per-source listing.
std::optional<bool> batteryLowPowerMode(std::string_view customText);
// Hibernate mode of the battery power source, from the per-source listing; not range-checked.
std::optional<std::int64_t> batteryHibernateMode(std::string_view customText);

}  // namespace PmsetParser
}  // namespace brimwell
