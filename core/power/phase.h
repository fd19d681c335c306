// Phase: the protection level, ordered by severity (watch < ready < brimwell < landing) so that
// phases compare with < and >. Raw values are the case names. A plain value; any thread.
#pragma once

#include <array>
#include <string_view>

#include "brimwell/core/base/enum_text.h"

namespace brimwell {

enum class Phase { watch, ready, brimwell, landing };

template <>
struct EnumNames<Phase> {
  static constexpr std::array<std::string_view, 4> names{"watch", "ready", "brimwell", "landing"};
};

}  // namespace brimwell
