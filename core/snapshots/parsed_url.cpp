#include "brimwell/core/snapshots/parsed_url.h"

#include <cctype>

namespace brimwell {
namespace {

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The characters a URL may hold outside percent escapes: unreserved, reserved and "%".
bool isURLCharacter(char c) {
  if (isAlpha(c) || isDigit(c)) return true;
  switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':  // unreserved
    case ':':
    case '/':
    case '?':
    case '#':
    case '[':
    case ']':
    case '@':  // gen-delims
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':  // sub-delims
    case '%':
      return true;
    default:
      return false;
  }
}

std::string lowered(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

// Every "%" must start an escape of two hexadecimal digits; the escapes are decoded.
std::optional<std::string> percentDecoded(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      result.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    result.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return result;
}

}  // namespace

std::optional<ParsedURL> ParsedURL::parse(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || !isAlpha(text[0])) return std::nullopt;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = text[i];
    if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
  }
  for (char c : text) {
    if (!isURLCharacter(c)) return std::nullopt;
  }

  ParsedURL url;
  url.text = std::string(text);
  url.scheme = lowered(text.substr(0, colon));
  std::string_view rest = text.substr(colon + 1);
  // The fragment, then the query, end the hierarchical part; "#" may hold "?" but not the reverse.
  rest = rest.substr(0, rest.find('#'));
  rest = rest.substr(0, rest.find('?'));
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    auto host = percentDecoded(rest.substr(0, slash));
    if (!host) return std::nullopt;
    url.host = std::move(*host);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  auto path = percentDecoded(rest);
  if (!path) return std::nullopt;
  url.path = std::move(*path);
  // Escapes in the query and fragment must be well-formed too.
  if (!percentDecoded(text)) return std::nullopt;
  return url;
}

bool ParsedURL::isFileURL() const { return scheme == "file"; }

std::string ParsedURL::fileSystemPath() const {
  std::string result = path;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

}  // namespace brimwell
