#include "brimwell/core/storage/base64.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace brimwell::Base64 {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> makeReverse() {
  std::array<std::uint8_t, 256> table{};
  for (auto& entry : table) entry = kInvalid;
  for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  return table;
}
constexpr std::array<std::uint8_t, 256> kReverse = makeReverse();

// The two characters of every 12-bit value: half a group of three bytes in one lookup.
constexpr std::array<std::array<char, 2>, 4096> makePairs() {
  std::array<std::array<char, 2>, 4096> pairs{};
  for (std::size_t i = 0; i < pairs.size(); ++i) pairs[i] = {kAlphabet[i >> 6], kAlphabet[i & 63]};
  return pairs;
}
constexpr std::array<std::array<char, 2>, 4096> kPairs = makePairs();

#if defined(__x86_64__)
// Twelve bytes to sixteen characters a step, with the processor's byte shuffle; returns how many
// bytes it encoded, stopping while 16 bytes remain to load. Each step spreads the bytes so every
// 32-bit lane holds one group of three, cuts the four 6-bit indices out with two multiplications,
// and maps each index to its character by adding the offset of its alphabet range.
__attribute__((target("ssse3"))) std::size_t encodeWide(const std::uint8_t* bytes, std::size_t size,
                                                        char* out) {
  const __m128i spread = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
  // Offsets by range, selected below: 0 for a-z, 1..10 for 0-9, 11 for +, 12 for /, 13 for A-Z.
  const __m128i offsets =
      _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                    '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
  std::size_t done = 0;
  for (; done + 16 <= size; done += 12, out += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + done));
    v = _mm_shuffle_epi8(v, spread);
    const __m128i high =
        _mm_mulhi_epu16(_mm_and_si128(v, _mm_set1_epi32(0x0FC0FC00)), _mm_set1_epi32(0x04000040));
    const __m128i low =
        _mm_mullo_epi16(_mm_and_si128(v, _mm_set1_epi32(0x003F03F0)), _mm_set1_epi32(0x01000010));
    const __m128i indices = _mm_or_si128(high, low);
    __m128i range = _mm_subs_epu8(indices, _mm_set1_epi8(51));
    const __m128i upper = _mm_cmpgt_epi8(_mm_set1_epi8(26), indices);
    range = _mm_or_si128(range, _mm_and_si128(upper, _mm_set1_epi8(13)));
    const __m128i chars = _mm_add_epi8(_mm_shuffle_epi8(offsets, range), indices);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chars);
  }
  return done;
}

bool hasByteShuffle() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
#endif

}  // namespace

char* encodeTo(std::span<const std::uint8_t> bytes, char* out) {
  std::size_t i = 0;
#if defined(__x86_64__)
  if (hasByteShuffle()) {
    i = encodeWide(bytes.data(), bytes.size(), out);
    out += i / 3 * 4;
  }
#endif
  for (; i + 3 <= bytes.size(); i += 3, out += 4) {
    const std::uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    std::memcpy(out, kPairs[group >> 12].data(), 2);
    std::memcpy(out + 2, kPairs[group & 0xFFF].data(), 2);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t group = bytes[i] << 16;
    if (rest == 2) group |= bytes[i + 1] << 8;
    *out++ = kAlphabet[(group >> 18) & 63];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    *out++ = '=';
  }
  return out;
}

std::string encode(const std::vector<std::uint8_t>& bytes) {
  std::string text(encodedSize(bytes.size()), '\0');
  encodeTo(bytes, text.data());
  return text;
}

std::optional<std::vector<std::uint8_t>> decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;

  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  const std::size_t sextets = text.size() - padding;
  std::uint32_t group = 0;
  for (std::size_t i = 0; i < sextets; ++i) {
    const std::uint8_t value = kReverse[static_cast<unsigned char>(text[i])];
    if (value == kInvalid) return std::nullopt;  // also catches "=" before the padding
    group = (group << 6) | value;
    if (i % 4 == 3) {
      bytes.push_back(static_cast<std::uint8_t>(group >> 16));
      bytes.push_back(static_cast<std::uint8_t>(group >> 8));
      bytes.push_back(static_cast<std::uint8_t>(group));
      group = 0;
    }
  }
  if (padding == 2) {  // two sextets carry one byte; the low four bits must be zero
    if ((group & 0x0F) != 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(group >> 4));
  } else if (padding == 1) {  // three sextets carry two bytes; the low two bits must be zero
    if ((group & 0x03) != 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(group >> 10));
    bytes.push_back(static_cast<std::uint8_t>(group >> 2));
  }
  return bytes;
}

}  // namespace brimwell::Base64
