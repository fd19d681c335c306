// The journal decoder: strict decoding and a stable round trip.
#include "brimwell/core/journal/journal.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brimwell::fuzz::checkRoundTrip<brimwell::Journal>(brimwell::fuzz::textOf(data, size));
  return 0;
}
