#include "brimwell/core/snapshots/long_string_skipper.h"

#include <cstring>

#include "brimwell/core/storage/ascii_text.h"

namespace brimwell {
namespace {

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
    if (!leavingOut_ && quote < end && quote - content == markerSize &&
        std::memcmp(text + content, marker, markerSize) == 0) {
      faithful_ = false;  // the file's own "\_" would pass for a left-out string
      break;
    }
    if (leavingOut_) {
      if (!AsciiText::needsNoJsonEscape({text + at, quote - at})) {
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
