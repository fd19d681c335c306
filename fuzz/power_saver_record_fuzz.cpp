// The power-saver record decoder: strict decoding and a stable round trip.
#include "brimwell/core/helper/power_saver_record.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brimwell::fuzz::checkRoundTrip<brimwell::PowerSaverRecord>(brimwell::fuzz::textOf(data, size));
  return 0;
}
