// The JSON syntax checker agrees with the shared decoder on every text: it finds a fault exactly
// when the decoder refuses the text, and the fault lies within the text.
#include "brimwell/core/storage/json_syntax.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  const auto fault = JsonSyntax::firstFault(text);
  fuzz::check(fault.has_value() != BrimwellJSON::parseTree(text).has_value(),
              "the checker and the decoder agree on what is JSON");
  fuzz::check(!fault || *fault <= size, "a fault lies within the text");
  return 0;
}
