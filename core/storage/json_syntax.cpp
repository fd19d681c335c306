#include "brimwell/core/storage/json_syntax.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace brimwell::JsonSyntax {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Bytes a string holds unchanged and that need no look: printable ASCII but '"' and '\'.
struct PlainBytes {
  bool plain[256] = {};
  constexpr PlainBytes() {
    for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '"' && c != '\\';
  }
};
constexpr PlainBytes kPlain;

// Reads JSON text left to right; every method returns false at the first fault, leaving `at` on
// the byte where the text stopped being JSON.
class Checker {
 public:
  Checker(std::string_view text, std::string_view placeholder)
      : text_(text), placeholder_(placeholder) {}

  std::optional<std::size_t> run() {
    if (text_.starts_with("\xEF\xBB\xBF")) at_ = 3;
    if (!value()) return at_;
    skipSpace();
    if (at_ != text_.size()) return at_;
    return std::nullopt;
  }

 private:
  // One value, containers included, with an explicit stack of the open ones ('[' or '{').
  bool value() {
    std::string open;
    for (;;) {
      skipSpace();
      if (at_ == text_.size()) return false;
      const char c = text_[at_];
      if (c == '[' || c == '{') {
        ++at_;
        skipSpace();
        const char close = c == '[' ? ']' : '}';
        if (at_ < text_.size() && text_[at_] == close) {
          ++at_;
        } else {
          open.push_back(c);
          if (c == '{' && !key()) return false;
          continue;
        }
      } else if (!scalar()) {
        return false;
      }
      // After a value: a comma and the next member, or the end of one or more containers.
      for (;;) {
        if (open.empty()) return true;
        skipSpace();
        if (at_ == text_.size()) return false;
        const char next = text_[at_];
        if (next == ',') {
          ++at_;
          if (open.back() == '{' && !key()) return false;
          break;
        }
        if (next != (open.back() == '[' ? ']' : '}')) return false;
        ++at_;
        open.pop_back();
      }
    }
  }

  // An object's key and its colon.
  bool key() {
    skipSpace();
    if (at_ == text_.size() || text_[at_] != '"' || !string()) return false;
    skipSpace();
    if (at_ == text_.size() || text_[at_] != ':') return false;
    ++at_;
    return true;
  }

  bool scalar() {
    const char c = text_[at_];
    if (c == '"') return string();
    if (c == '-' || isDigit(c)) return number();
    for (const std::string_view word : {"true", "false", "null"}) {
      if (text_.substr(at_).starts_with(word)) {
        at_ += word.size();
        return true;
      }
    }
    return false;
  }

  bool string() {
    const std::size_t content = at_ + 1;
    if (!placeholder_.empty() && text_.substr(content).starts_with(placeholder_) &&
        content + placeholder_.size() < text_.size() &&
        text_[content + placeholder_.size()] == '"') {
      at_ = content + placeholder_.size() + 1;
      return true;
    }
    at_ = content;
    for (;;) {
      while (at_ < text_.size() && kPlain.plain[static_cast<unsigned char>(text_[at_])]) ++at_;
      if (at_ == text_.size()) return false;
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c == '\\') {
        if (!escape()) return false;
      } else if (c < 0x20 || !utf8()) {
        return false;
      }
    }
  }

  // One escape at `at`, a surrogate pair as one.
  bool escape() {
    if (at_ + 1 >= text_.size()) return false;
    const char kind = text_[at_ + 1];
    if (std::strchr("\"\\/bfnrt", kind) != nullptr && kind != '\0') {
      at_ += 2;
      return true;
    }
    if (kind != 'u') {
      ++at_;
      return false;
    }
    const auto unit = codeUnit();
    if (!unit) return false;
    if (*unit >= 0xDC00 && *unit <= 0xDFFF) return false;  // a low surrogate without a high one
    if (*unit < 0xD800 || *unit > 0xDBFF) return true;
    if (text_.substr(at_).substr(0, 2) != "\\u") return false;
    const auto low = codeUnit();
    return low && *low >= 0xDC00 && *low <= 0xDFFF;
  }

  // The four hexadecimal digits of \uXXXX at `at`.
  std::optional<unsigned> codeUnit() {
    at_ += 2;
    unsigned unit = 0;
    for (int i = 0; i < 4; ++i, ++at_) {
      const int digit = at_ < text_.size() ? hexValue(text_[at_]) : -1;
      if (digit < 0) return std::nullopt;
      unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return unit;
  }

  // One well-formed UTF-8 sequence of two to four bytes at `at` (no overlong form, no surrogate,
  // nothing beyond U+10FFFF).
  bool utf8() {
    const auto byte = [&](std::size_t i) {
      return at_ + i < text_.size() ? static_cast<unsigned char>(text_[at_ + i]) : 0u;
    };
    const unsigned lead = byte(0);
    unsigned low = 0x80, high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (byte(1) < low || byte(1) > high) return false;
    for (std::size_t i = 2; i < length; ++i) {
      if (byte(i) < 0x80 || byte(i) > 0xBF) return false;
    }
    at_ += length;
    return true;
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, and within a double's range (an underflow
  // to zero is fine, an overflow is not).
  bool number() {
    const std::size_t begin = at_;
    if (text_[at_] == '-') ++at_;
    const std::size_t integer = at_;
    if (!digits()) return false;
    if (text_[integer] == '0' && at_ - integer > 1) {
      at_ = integer + 1;
      return false;
    }
    bool unusual = at_ - integer > 300;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return false;
      unusual = true;
    }
    return !unusual || fitsADouble(text_.substr(begin, at_ - begin));
  }

  bool digits() {
    const std::size_t begin = at_;
    while (at_ < text_.size() && isDigit(text_[at_])) ++at_;
    return at_ > begin;
  }

  // False only when the number is too large for a double; a well-formed number's text.
  static bool fitsADouble(std::string_view number) {
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc::result_out_of_range) return true;
    // Out of range either way: too large, or so small it reads as zero. The position of the
    // first significant digit tells which.
    const std::size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    std::int64_t exponent = 0;
    if (e != std::string_view::npos) {
      std::size_t i = e + 1;
      const bool negative = number[i] == '-';
      if (number[i] == '+' || number[i] == '-') ++i;
      for (; i < number.size(); ++i) {
        exponent = exponent * 10 + (number[i] - '0');
        if (exponent > 1'000'000'000) break;
      }
      if (negative) exponent = -exponent;
    }
    const std::size_t point = mantissa.find('.');
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return true;  // zero
    const std::size_t integerEnd = point == std::string_view::npos ? mantissa.size() : point;
    const std::int64_t magnitude = first < integerEnd
                                       ? static_cast<std::int64_t>(integerEnd - first) - 1
                                       : -static_cast<std::int64_t>(first - integerEnd);
    return magnitude + exponent < 0;
  }

  void skipSpace() {
    while (at_ < text_.size() && isSpace(text_[at_])) ++at_;
  }

  std::string_view text_;
  std::string_view placeholder_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<std::size_t> firstFault(std::string_view text, std::string_view placeholder) {
  return Checker(text, placeholder).run();
}

}  // namespace brimwell::JsonSyntax
