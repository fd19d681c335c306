// ParsedURL: a URL text read strictly (RFC 3986 characters, well-formed percent escapes), enough
// to tell a file URL and its file-system path. A text that isn't a URL parses to nothing.
// Pure value; callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

struct ParsedURL {
  std::string text;                 // the URL as given
  std::string scheme;               // lower-cased
  std::optional<std::string> host;  // present when the URL has an authority ("//...")
  std::string path;                 // the path component, percent-decoded

  // The URL whose text is `text`, or nothing when it isn't one: a scheme, then only URL
  // characters, every "%" followed by two hexadecimal digits.
  static std::optional<ParsedURL> parse(std::string_view text);

  // A URL of scheme "file", whatever its host: file://host/path names the path /path.
  bool isFileURL() const;

  // The file-system path of a file URL: the decoded path, without a trailing slash unless it is
  // the root.
  std::string fileSystemPath() const;

  friend bool operator==(const ParsedURL&, const ParsedURL&) = default;
};

}  // namespace brimwell
