// SnapshotID: the 20-character name of a snapshot made from its capture instant in UTC, such as
// 20260301T140509.250Z, whose text order is its time order. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/date.h"

namespace brimwell::SnapshotID {

// The identifier of `date`: yyyyMMdd'T'HHmmss.SSS'Z' in UTC, milliseconds truncated.
std::string make(Date date);

// The instant `text` names, or nothing unless it is exactly 20 ASCII bytes of that shape, names a
// real calendar date and time (no 30 February, no hour 24) and `make` gives the same text back.
std::optional<Date> date(std::string_view text);

bool isValid(std::string_view text);

}  // namespace brimwell::SnapshotID
