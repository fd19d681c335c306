#include "brimwell/core/base/plain_decimal.h"

#include <charconv>
#include <string>

namespace brimwell {

std::optional<std::int64_t> parsePlainDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // Parse with the sign attached so that the most negative value fits.
  std::string digits = negative ? "-" : "";
  digits.append(text);
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace brimwell
