#include "brimwell/core/base/white_space.h"

namespace brimwell {
namespace {

bool isWhiteSpace(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// Every white-space character is at most three bytes long in UTF-8; longer sequences and
// malformed bytes are simply not white space.
std::size_t decodedWhiteSpace(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return isWhiteSpace(lead) ? 1 : 0;
  const std::size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  char32_t c = lead & (length == 2 ? 0x1F : 0x0F);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  return isWhiteSpace(c) ? length : 0;
}

}  // namespace

std::size_t whiteSpaceLength(std::string_view text, std::size_t i) {
  return i < text.size() ? decodedWhiteSpace(text, i) : 0;
}

std::size_t whiteSpaceLengthBefore(std::string_view text, std::size_t end) {
  for (std::size_t length = 1; length <= 3 && length <= end; ++length) {
    if (decodedWhiteSpace(text, end - length) == length) return length;
  }
  return 0;
}

std::string_view trimWhiteSpace(std::string_view text) {
  while (std::size_t length = whiteSpaceLength(text, 0)) text.remove_prefix(length);
  while (std::size_t length = whiteSpaceLengthBefore(text, text.size())) {
    text.remove_suffix(length);
  }
  return text;
}

}  // namespace brimwell
