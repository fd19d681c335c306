// The plain decimal rule shared by the helper's version and the power tool's values: an optional
// "+" or "-" and one or more ASCII digits, the whole text, within the signed 64-bit range.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brimwell {

// The integer `text` spells under the plain decimal rule; absent for anything else (empty text,
// spaces, a unit, a fraction, an overflow).
std::optional<std::int64_t> parsePlainDecimal(std::string_view text);

}  // namespace brimwell
