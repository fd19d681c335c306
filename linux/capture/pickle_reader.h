// PickleReader: the fields of a Chromium pickle, the serialisation its session commands carry: a
// 32-bit little-endian payload size, then the payload, every field starting on a 4-byte boundary.
// Integers are 4 bytes; a string is its 32-bit length then its bytes; a UTF-16 string its 32-bit
// length in code units then two bytes per unit. Every read is checked against the payload, so a
// short or hostile pickle answers with nothing, never with bytes beyond it. Pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

class PickleReader {
 public:
  // The reader of `bytes`, or nothing when they are too short for their declared payload size.
  static std::optional<PickleReader> of(std::string_view bytes);

  std::optional<std::int32_t> readInt32();
  std::optional<std::string> readString();
  // The string in UTF-8; an unpaired surrogate becomes U+FFFD.
  std::optional<std::string> readString16();

 private:
  explicit PickleReader(std::string_view payload) : payload_(payload) {}
  // The next `count` bytes, the position then moved on to the following 4-byte boundary.
  std::optional<std::string_view> take(std::size_t count);

  std::string_view payload_;
  std::size_t position_ = 0;
};

// The little-endian 32-bit integer at `offset` of `bytes`, or nothing when it isn't all there.
std::optional<std::int32_t> int32At(std::string_view bytes, std::size_t offset);

}  // namespace brimwell
