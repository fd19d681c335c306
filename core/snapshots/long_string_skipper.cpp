#include "core/snapshots/long_string_skipper.h"

#include <cstdint>
#include <cstring>

namespace brimwell {
namespace {

// Every byte of text[0, size) lies in 0x20..0x7F: no control character, nothing but ASCII. Checks
// 64 bytes a step with no early exit, since a left-out string is nearly always all of that.
bool isPrintableAscii(const char* text, std::size_t size) {
  using Bytes = signed char __attribute__((vector_size(16)));
  // Shifted by 0x60, the accepted range becomes -128..-33 in signed bytes: one comparison each.
  const Bytes shift = Bytes{} + static_cast<signed char>(0x60);
  const Bytes highest = Bytes{} + static_cast<signed char>(-33);
  Bytes bad0{}, bad1{}, bad2{}, bad3{};
  std::size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    Bytes v0, v1, v2, v3;
    std::memcpy(&v0, text + i, 16);
    std::memcpy(&v1, text + i + 16, 16);
    std::memcpy(&v2, text + i + 32, 16);
    std::memcpy(&v3, text + i + 48, 16);
    bad0 |= static_cast<Bytes>(v0 + shift) > highest;
    bad1 |= static_cast<Bytes>(v1 + shift) > highest;
    bad2 |= static_cast<Bytes>(v2 + shift) > highest;
    bad3 |= static_cast<Bytes>(v3 + shift) > highest;
  }
  const Bytes bad = bad0 | bad1 | bad2 | bad3;
  std::uint64_t words[2];
  std::memcpy(words, &bad, sizeof words);
  if ((words[0] | words[1]) != 0) return false;
  for (; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte > 0x7F) return false;
  }
  return true;
}

// How many backslashes end text[begin, end).
std::size_t trailingBackslashes(const char* text, std::size_t begin, std::size_t end) {
  std::size_t count = 0;
  while (end - count > begin && text[end - count - 1] == '\\') ++count;
  return count;
}

}  // namespace

std::size_t LongStringSkipper::nextQuote(const char* text, std::size_t at, std::size_t end) {
  while (at < end) {
    const void* found = std::memchr(text + at, '"', end - at);
    if (found == nullptr) break;
    const std::size_t quote = static_cast<const char*>(found) - text;
    std::size_t run = trailingBackslashes(text, at, quote);
    if (run == quote - at) run += backslashes_;
    backslashes_ = 0;
    if (run % 2 == 0) return quote;
    at = quote + 1;  // an escaped quote is an ordinary character
  }
  const std::size_t run = trailingBackslashes(text, at, end);
  backslashes_ = run == end - at ? backslashes_ + run : run;
  return end;
}

std::size_t LongStringSkipper::scan(char* text, std::size_t from, std::size_t end) {
  std::size_t at = from;
  while (at < end && faithful_) {
    std::size_t quote = nextQuote(text, at, end);
    if (!inString_) {
      if (quote == end) break;
      open_ = quote;
      inString_ = true;
      leavingOut_ = false;
      at = open_ + 1;
      continue;
    }
    const std::size_t content = open_ + 1;
    if (!leavingOut_ && quote - content > longString_) {
      leavingOut_ = shortened_ = true;
      at = content;  // everything scanned so far goes too
    }
    if (leavingOut_) {
      if (!isPrintableAscii(text + at, quote - at)) {
        faithful_ = false;
        break;
      }
      const std::size_t kept = content + markerSize;
      std::memcpy(text + content, marker, markerSize);
      std::memmove(text + kept, text + quote, end - quote);
      end -= quote - kept;
      quote = kept;
    }
    if (quote == end) break;  // the string goes on in the next piece
    inString_ = false;
    at = quote + 1;
  }
  return end;
}

}  // namespace brimwell
