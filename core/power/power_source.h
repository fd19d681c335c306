// PowerSource: whether the machine reports running on the power adapter or on its battery.
#pragma once

#include <array>
#include <string_view>

#include "core/base/enum_text.h"

namespace brimwell {

enum class PowerSource { ac, battery };

template <>
struct EnumNames<PowerSource> {
  static constexpr std::array<std::string_view, 2> names = {"ac", "battery"};
};

}  // namespace brimwell
