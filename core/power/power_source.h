// PowerSource: where the machine reports its power comes from. Raw values "ac" and "battery",
// matched exactly (no other spelling or case). A plain value; any thread.
#pragma once

#include <array>
#include <string_view>

#include "brimwell/core/base/enum_text.h"

namespace brimwell {

enum class PowerSource { ac, battery };

template <>
struct EnumNames<PowerSource> {
  static constexpr std::array<std::string_view, 2> names{"ac", "battery"};
};

}  // namespace brimwell
