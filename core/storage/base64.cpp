#include "core/storage/base64.h"

#include <array>
#include <cstring>

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

}  // namespace

void encodeAppending(std::span<const std::uint8_t> bytes, std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + (bytes.size() + 2) / 3 * 4, '=');
  char* next = out.data() + start;
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3, next += 4) {
    const std::uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    std::memcpy(next, kPairs[group >> 12].data(), 2);
    std::memcpy(next + 2, kPairs[group & 0xFFF].data(), 2);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {  // the final "=" characters are already in place
    std::uint32_t group = bytes[i] << 16;
    if (rest == 2) group |= bytes[i + 1] << 8;
    *next++ = kAlphabet[(group >> 18) & 63];
    *next++ = kAlphabet[(group >> 12) & 63];
    if (rest == 2) *next = kAlphabet[(group >> 6) & 63];
  }
}

std::string encode(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  encodeAppending(bytes, text);
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
