// The rescue ledger's file: decoding is strict and the round trip is stable.
#include "brimwell/core/rescue/rescue_ledger.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brimwell::fuzz::checkRoundTrip<std::vector<brimwell::RescueLedger::Entry>>(
      brimwell::fuzz::textOf(data, size));
  return 0;
}
