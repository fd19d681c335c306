// The power tool's output parser: sections hold only non-empty single-line words, and the three
// extracted values agree with the sections they come from.
#include "brimwell/core/base/plain_decimal.h"
#include "fuzz/fuzz_check.h"
#include "helper/pmset_parser.h"

using namespace brimwell;

namespace {

bool isWord(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return false;
  }
  return true;
}

const std::string* valueOf(const PmsetSections& sections, const std::string& section,
                           const std::string& key) {
  auto found = sections.find(section);
  if (found == sections.end()) return nullptr;
  auto value = found->second.find(key);
  return value == found->second.end() ? nullptr : &value->second;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  const PmsetSections sections = PmsetParser::sections(text);
  for (const auto& [name, values] : sections) {
    fuzz::check(name.find('\n') == std::string::npos, "a section name is one line");
    for (const auto& [key, value] : values) {
      fuzz::check(isWord(key) && isWord(value), "keys and values are single words");
    }
  }
  if (auto mode = PmsetParser::batteryHibernateMode(text)) {
    const std::string* value = valueOf(sections, "Battery Power", "hibernatemode");
    fuzz::check(value && parsePlainDecimal(*value) == mode,
                "the hibernate mode comes from the battery section");
  }
  if (PmsetParser::batteryLowPowerMode(text)) {
    fuzz::check(valueOf(sections, "Battery Power", "lowpowermode") ||
                    valueOf(sections, "Battery Power", "powermode"),
                "battery Low Power Mode comes from the battery section");
  }
  if (PmsetParser::lowPowerMode(text)) {
    fuzz::check(valueOf(sections, "Currently in use", "lowpowermode") ||
                    valueOf(sections, "Currently in use", "powermode"),
                "Low Power Mode comes from the settings in use");
  }
  return 0;
}
