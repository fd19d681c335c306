// PowerSupply: one entry of the kernel's power-supply class (a directory under
// /sys/class/power_supply) as its text attributes, and the reader that lists them. Any thread.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brimwell {

struct PowerSupply {
  std::string name;  // the directory name, such as BAT0 or AC
  // Attribute file name to its content, with surrounding white space removed. Attributes that
  // are missing or unreadable are simply not in the map.
  std::map<std::string, std::string> attributes;

  // The attribute's text, or nothing when it is missing.
  std::optional<std::string> text(const std::string& attribute) const;
  // The attribute as a whole number, or nothing when it is missing or not a decimal integer.
  std::optional<long long> number(const std::string& attribute) const;

  friend bool operator==(const PowerSupply&, const PowerSupply&) = default;
};

// Every supply under `root`, sorted by name, with the attributes a battery reading needs. A
// missing or unreadable `root` gives an empty list; an unreadable attribute is left out.
std::vector<PowerSupply> readPowerSupplies(const std::filesystem::path& root);

}  // namespace brimwell
