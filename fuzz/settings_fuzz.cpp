// The settings decoder: any JSON object decodes (bad fields fall back to their defaults), nothing
// else does, and the round trip is stable.
#include "brimwell/core/storage/brimwell_settings.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  auto tree = BrimwellJSON::parseTree(text);
  auto settings = fuzz::checkRoundTrip<BrimwellSettings>(text);
  fuzz::check(settings.has_value() == (tree && tree->is_object()),
              "settings decode exactly from JSON objects");
  return 0;
}
