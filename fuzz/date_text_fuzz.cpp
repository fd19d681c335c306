// The stored date text: for every date parse accepts, parse(format(d)) is d rounded to the
// millisecond (halves away from zero), and formatting that again gives the same text.
#include "fuzz/fuzz_check.h"

using namespace brimwell;

namespace {

// Nothing when the rounding leaves the range a Date can hold.
std::optional<Date> roundedToMilliseconds(Date date) {
  const std::int64_t ns = date.time_since_epoch().count();
  std::int64_t ms = ns / 1'000'000;
  const std::int64_t rest = ns % 1'000'000;
  if (rest >= 500'000) ++ms;  // halves away from zero
  if (rest <= -500'000) --ms;
  std::int64_t rounded = 0;
  if (__builtin_mul_overflow(ms, 1'000'000, &rounded)) return std::nullopt;
  return Date(std::chrono::nanoseconds(rounded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto date = BrimwellJSON::parse(fuzz::textOf(data, size));
  if (!date) return 0;
  const std::string text = BrimwellJSON::format(*date);
  auto back = BrimwellJSON::parse(text);
  fuzz::check(back == roundedToMilliseconds(*date), "parse(format(d)) is d rounded to the ms");
  if (back) fuzz::check(BrimwellJSON::format(*back) == text, "formatting a parsed text is stable");
  return 0;
}
