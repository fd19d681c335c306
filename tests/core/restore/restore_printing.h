// Readable failure messages for restore tests: steps and plans print as their JSON text.
#pragma once

#include <ostream>

#include "brimwell/core/restore/restore_plan.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {

inline void PrintTo(const RestoreStep& step, std::ostream* out) {
  *out << BrimwellJSON::encode(step).value_or("(unencodable step)");
}

inline void PrintTo(const RestorePlan& plan, std::ostream* out) {
  *out << BrimwellJSON::encode(plan).value_or("(unencodable plan)");
}

}  // namespace brimwell
