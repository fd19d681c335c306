#include "linux/power_supply.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

namespace brimwell {
namespace {

// The attributes a reading is made from; others (uevent, serial numbers) are never read.
constexpr std::array<std::string_view, 17> kAttributes = {
    "type",        "online",      "scope",       "status",
    "capacity",    "energy_now",  "energy_full", "energy_full_design",
    "power_now",   "charge_now",  "charge_full", "charge_full_design",
    "current_now", "voltage_now", "cycle_count", "temp",
    "present",
};

std::string trimmed(std::string text) {
  const auto isSpace = [](unsigned char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
  };
  while (!text.empty() && isSpace(static_cast<unsigned char>(text.back()))) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && isSpace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

std::optional<std::string> readAttribute(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  std::ifstream stream(file, std::ios::binary);
  if (!stream) return std::nullopt;
  std::string content;
  // Attributes are a line of text; anything longer than a page is not one.
  content.resize(4096);
  stream.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (stream.bad()) return std::nullopt;
  content.resize(static_cast<std::size_t>(stream.gcount()));
  return trimmed(std::move(content));
}

}  // namespace

std::optional<std::string> PowerSupply::text(const std::string& attribute) const {
  const auto found = attributes.find(attribute);
  if (found == attributes.end()) return std::nullopt;
  return found->second;
}

std::optional<long long> PowerSupply::number(const std::string& attribute) const {
  const auto value = text(attribute);
  if (!value || value->empty()) return std::nullopt;
  long long result = 0;
  const char* first = value->data();
  const char* last = value->data() + value->size();
  const auto [end, error] = std::from_chars(first, last, result);
  if (error != std::errc() || end != last) return std::nullopt;
  return result;
}

std::vector<PowerSupply> readPowerSupplies(const std::filesystem::path& root) {
  std::vector<PowerSupply> supplies;
  std::error_code error;
  // Incremented through the error-code overload: a directory that vanishes while it is listed
  // ends the listing instead of throwing.
  for (std::filesystem::directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const auto& entry = *it;
    // Entries of the class directory are symbolic links to the devices; follow them.
    std::error_code kindError;
    if (!entry.is_directory(kindError)) continue;
    PowerSupply supply{entry.path().filename().string(), {}};
    for (const auto attribute : kAttributes) {
      if (auto value = readAttribute(entry.path() / attribute)) {
        supply.attributes.emplace(std::string(attribute), std::move(*value));
      }
    }
    supplies.push_back(std::move(supply));
  }
  std::sort(supplies.begin(), supplies.end(),
            [](const PowerSupply& a, const PowerSupply& b) { return a.name < b.name; });
  return supplies;
}

}  // namespace brimwell
