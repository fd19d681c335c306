// RestorePlan: the steps that bring a snapshot's workspace back, to be carried out in order, and
// the clipboard change counter a default clipboard choice was made against. Plain value; any
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/restore/restore_step.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct RestorePlan {
  std::string snapshotID;
  std::vector<RestoreStep> steps;
  // Present only when the clipboard is restored on a choice left at its default: the clipboard's
  // change counter as the caller saw it when it offered that choice.
  std::optional<std::int64_t> clipboardChangeCount;

  friend bool operator==(const RestorePlan&, const RestorePlan&) = default;
};

// {"clipboardChangeCount":.. (when present),"snapshotID":..,"steps":[..]}. Encoding only.
template <>
struct JsonCoding<RestorePlan> {
  static Json write(const RestorePlan& value);
};

}  // namespace brimwell
