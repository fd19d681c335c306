// Snapshot identifiers: a text names a date exactly when make() gives the same text back, and
// any date's identifier names that date truncated to the millisecond.
#include <cstring>
#include <limits>

#include "brimwell/core/snapshots/snapshot_id.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  auto date = SnapshotID::date(text);
  fuzz::check(date.has_value() == SnapshotID::isValid(text), "isValid agrees with date");
  if (date) fuzz::check(SnapshotID::make(*date) == text, "a parsed identifier is made back");

  if (size >= 8) {
    std::int64_t nanoseconds;
    std::memcpy(&nanoseconds, data, 8);
    // Any instant from 1970 on that nanoseconds in 64 bits can hold.
    nanoseconds &= std::numeric_limits<std::int64_t>::max();
    const Date at{std::chrono::nanoseconds(nanoseconds)};
    const std::string id = SnapshotID::make(at);
    auto back = SnapshotID::date(id);
    fuzz::check(id.size() == 20 && back.has_value(), "a made identifier is valid");
    fuzz::check(*back == std::chrono::floor<std::chrono::milliseconds>(at),
                "an identifier names its date to the millisecond");
  }
  return 0;
}
