// Text passed through a LongStringSkipper the way the store reads a file: in pieces, each
// appended behind what was kept.
#pragma once

#include <algorithm>
#include <optional>
#include <string>

#include "brimwell/core/snapshots/long_string_skipper.h"

namespace brimwell::testing {

// `text` with long strings left out, fed in pieces of `piece` bytes; nothing once the skipper is
// no longer faithful.
inline std::optional<std::string> skimmed(const std::string& text, std::size_t longString,
                                          std::size_t piece) {
  LongStringSkipper skipper(longString);
  std::string buffer(text.size(), '\0');
  std::size_t kept = 0;
  for (std::size_t read = 0; read < text.size(); read += piece) {
    const std::size_t count = std::min(piece, text.size() - read);
    text.copy(buffer.data() + kept, count, read);
    kept = skipper.scan(buffer.data(), kept, kept + count);
    if (!skipper.faithful()) return std::nullopt;
  }
  return buffer.substr(0, kept);
}

}  // namespace brimwell::testing
