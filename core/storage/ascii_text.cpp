#include "brimwell/core/storage/ascii_text.h"

#include <cstdint>
#include <cstring>

namespace brimwell::AsciiText {
namespace {

using Bytes = signed char __attribute__((vector_size(16)));
using UnsignedBytes = unsigned char __attribute__((vector_size(16)));

template <bool kJsonPlain>
bool isAccepted(unsigned char byte) {
  return byte >= 0x20 && byte <= 0x7F && (!kJsonPlain || (byte != '"' && byte != '\\'));
}

// A lane set for every rejected byte of `bytes`. Shifted by 0x60 (wrapping, unsigned), the
// accepted range 0x20..0x7F becomes -128..-33 read as signed bytes, so one comparison finds the
// rest.
template <bool kJsonPlain>
Bytes rejected(const char* bytes) {
  UnsignedBytes v;
  std::memcpy(&v, bytes, sizeof v);
  const auto shifted = reinterpret_cast<Bytes>(v + static_cast<unsigned char>(0x60));
  Bytes bad = shifted > static_cast<signed char>(-33);
  if constexpr (kJsonPlain) bad |= reinterpret_cast<Bytes>((v == '"') | (v == '\\'));
  return bad;
}

template <bool kJsonPlain>
bool accepts(std::string_view text) {
  const char* bytes = text.data();
  const std::size_t size = text.size();
  if (size < sizeof(Bytes)) {
    for (std::size_t i = 0; i < size; ++i) {
      if (!isAccepted<kJsonPlain>(static_cast<unsigned char>(bytes[i]))) return false;
    }
    return true;
  }
  // Four independent steps at a time for long text, then single steps; the last step ends at the
  // end of the text, overlapping bytes already tested. Nothing stops early: text nearly always
  // passes.
  Bytes bad0{}, bad1{}, bad2{}, bad3{};
  std::size_t i = 0;
  for (; i + 4 * sizeof(Bytes) <= size; i += 4 * sizeof(Bytes)) {
    bad0 |= rejected<kJsonPlain>(bytes + i);
    bad1 |= rejected<kJsonPlain>(bytes + i + 16);
    bad2 |= rejected<kJsonPlain>(bytes + i + 32);
    bad3 |= rejected<kJsonPlain>(bytes + i + 48);
  }
  for (; i + sizeof(Bytes) <= size; i += sizeof(Bytes)) bad0 |= rejected<kJsonPlain>(bytes + i);
  if (i < size) bad0 |= rejected<kJsonPlain>(bytes + size - sizeof(Bytes));
  const Bytes bad = bad0 | bad1 | bad2 | bad3;
  std::uint64_t words[2];
  std::memcpy(words, &bad, sizeof words);
  return (words[0] | words[1]) == 0;
}

}  // namespace

bool isPrintable(std::string_view text) { return accepts<false>(text); }

bool needsNoJsonEscape(std::string_view text) { return accepts<true>(text); }

}  // namespace brimwell::AsciiText
