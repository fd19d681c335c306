// The stored date text: for every date parse accepts, parse(format(d)) is d rounded to the
// millisecond (halves away from zero) and formatting that again gives the same text.
#include "fuzz/fuzz_check.h"

using namespace brimwell;

namespace {

Date roundedToMilliseconds(Date date) {
  const auto ns = date.time_since_epoch().count();
  const auto whole = ns / 1'000'000, rest = ns % 1'000'000;
  auto ms = whole;
  if (rest >= 500'000) ++ms;  // halves away from zero
  if (rest <= -500'000) --ms;
  return Date(std::chrono::milliseconds(ms));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto date = BrimwellJSON::parse(fuzz::textOf(data, size));
  if (!date) return 0;
  const std::string text = BrimwellJSON::format(*date);
  auto back = BrimwellJSON::parse(text);
  fuzz::check(back.has_value(), "a formatted date parses");
  fuzz::check(*back == roundedToMilliseconds(*date), "parse(format(d)) is d rounded to the ms");
  fuzz::check(BrimwellJSON::format(*back) == text, "formatting a parsed text is stable");
  return 0;
}
