// What a Neovim server sends: any bytes decode to a value or fail as incomplete or malformed,
// never crash or overrun, and a decoded value encodes to bytes that decode to the same value.
#include "fuzz/fuzz_check.h"
#include "linux/save/msgpack.h"

#include <cerrno>

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  const auto decoded = decodeMsg(text);
  if (!decoded) {
    const int code = decoded.error().code();
    fuzz::check(code == EAGAIN || code == EBADMSG, "a failure is incomplete or malformed");
    return 0;
  }
  fuzz::check(decoded->used > 0 && decoded->used <= size, "a value takes bytes it was given");
  const auto again = encodeMsg(decoded->value);
  const auto back = decodeMsg(again);
  fuzz::check(back && back->used == again.size(), "an encoded value decodes whole");
  // NaN never equals itself, so compare the encodings instead of the values.
  fuzz::check(back && encodeMsg(back->value) == again, "an encoded value decodes to itself");
  return 0;
}
