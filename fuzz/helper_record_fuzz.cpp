// The daemon's record decoder: whatever decodes encodes to text that decodes to the same record.
#include "fuzz/fuzz_check.h"
#include "helper/helper_record.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto record = decodeHelperRecord(fuzz::textOf(data, size));
  if (!record) return 0;
  const std::string encoded = encodeHelperRecord(*record);
  auto again = decodeHelperRecord(encoded);
  fuzz::check(again.has_value() && *again == *record, "an encoded record decodes to itself");
  fuzz::check(encodeHelperRecord(*again) == encoded, "encoding a record is stable");
  return 0;
}
