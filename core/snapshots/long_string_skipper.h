// LongStringSkipper: shortens JSON text as it is read piece by piece, so that a file whose bulk is
// one long string (a clipboard's Base64) can be parsed without ever being held whole. The content
// of every string longer than a limit is replaced by the two characters \_ , an escape no JSON
// reader accepts: a parser that skips the string sees the same document as before, one that reads
// it fails. Strings are found by their quotes and backslashes alone; nothing else is parsed.
#pragma once

#include <cstddef>

namespace brimwell {

class LongStringSkipper {
 public:
  // What a left-out string's content becomes.
  static constexpr char marker[] = "\\_";
  static constexpr std::size_t markerSize = sizeof(marker) - 1;

  // Strings of more than `longString` bytes of content (at least the marker's size) are left out.
  explicit LongStringSkipper(std::size_t longString)
      : longString_(longString < markerSize ? markerSize : longString) {}

  // Scans text[from, end), the bytes just appended behind the text scanned so far, and leaves out
  // the content of long strings; returns the new end of the text, at or below `end`.
  std::size_t scan(char* text, std::size_t from, std::size_t end);

  // True once any content was left out.
  bool shortened() const { return shortened_; }
  // False once a left-out string held a byte outside printable ASCII (a control character, which
  // a JSON parser rejects, or part of a multibyte sequence, which it validates) or a backslash
  // (an escape, which it checks), or once a kept string's content was the marker itself: the
  // shortened text no longer fails wherever the whole would, so it must not be parsed in its
  // place. While it is true, every marker in the text stands for valid string content.
  bool faithful() const { return faithful_; }

 private:
  // The first quote in text[at, end) not escaped by an odd run of backslashes, or `end`; keeps
  // count of the backslashes the scanned text ends with. As in a JSON parser's first pass, a
  // backslash escapes the next character inside strings and out, so both agree on every string.
  std::size_t nextQuote(const char* text, std::size_t at, std::size_t end);

  std::size_t longString_;
  bool inString_ = false;
  bool leavingOut_ = false;      // the current string's content is being left out
  std::size_t open_ = 0;         // offset of the current string's opening quote
  std::size_t backslashes_ = 0;  // backslashes that end the scanned text
  bool shortened_ = false;
  bool faithful_ = true;
};

}  // namespace brimwell
