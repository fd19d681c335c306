#include "helper/pmset_parser.h"

#include <vector>

#include "brimwell/core/base/plain_decimal.h"
#include "brimwell/core/base/white_space.h"

namespace brimwell::PmsetParser {
namespace {

// The length of the line break starting at `text[i]`, or 0 when there is none.
std::size_t lineBreakLength(std::string_view text, std::size_t i) {
  const char c = text[i];
  if (c == '\r') return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
  if (c == '\n' || c == '\v' || c == '\f') return 1;
  if (text.compare(i, 2, "\xC2\x85") == 0) return 2;  // next line
  if (text.compare(i, 3, "\xE2\x80\xA8") == 0 || text.compare(i, 3, "\xE2\x80\xA9") == 0) {
    return 3;  // line and paragraph separators
  }
  return 0;
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t length = lineBreakLength(text, i);
    if (length == 0) {
      ++i;
      continue;
    }
    if (i > start) result.push_back(text.substr(start, i - start));
    i += length;
    start = i;
  }
  if (start < text.size()) result.push_back(text.substr(start));
  return result;
}

// Splits at runs of white space, dropping empty tokens.
std::vector<std::string_view> tokens(std::string_view line) {
  std::vector<std::string_view> result;
  std::size_t i = 0;
  while (i < line.size()) {
    while (std::size_t length = whiteSpaceLength(line, i)) i += length;
    std::size_t start = i;
    while (i < line.size() && whiteSpaceLength(line, i) == 0) ++i;
    if (i > start) result.push_back(line.substr(start, i - start));
  }
  return result;
}

std::optional<bool> lowPowerModeIn(std::string_view text, const std::string& sectionName) {
  auto all = sections(text);
  auto section = all.find(sectionName);
  if (section == all.end() || section->second.empty()) return std::nullopt;
  auto value = section->second.find("lowpowermode");
  if (value == section->second.end()) value = section->second.find("powermode");
  if (value == section->second.end()) return std::nullopt;
  auto number = parsePlainDecimal(value->second);
  if (!number) return std::nullopt;
  return *number == 1;
}

}  // namespace

PmsetSections sections(std::string_view text) {
  PmsetSections result;
  std::optional<std::string> current;
  for (std::string_view line : lines(text)) {
    if (whiteSpaceLength(line, 0) == 0) {
      std::string_view header = trimWhiteSpace(line);
      if (!header.empty() && header.back() == ':') {
        current = std::string(header.substr(0, header.size() - 1));
      } else {
        current.reset();
      }
      continue;
    }
    if (!current) continue;
    auto words = tokens(line);
    if (words.size() < 2) continue;
    result[*current][std::string(words[0])] = std::string(words[1]);
  }
  return result;
}

std::optional<bool> lowPowerMode(std::string_view settingsText) {
  return lowPowerModeIn(settingsText, "Currently in use");
}

std::optional<bool> batteryLowPowerMode(std::string_view customText) {
  return lowPowerModeIn(customText, "Battery Power");
}

std::optional<std::int64_t> batteryHibernateMode(std::string_view customText) {
  auto all = sections(customText);
  auto section = all.find("Battery Power");
  if (section == all.end() || section->second.empty()) return std::nullopt;
  auto value = section->second.find("hibernatemode");
  if (value == section->second.end()) return std::nullopt;
  return parsePlainDecimal(value->second);
}

}  // namespace brimwell::PmsetParser
