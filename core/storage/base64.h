// Base64: the standard alphabet (A-Z a-z 0-9 + /) with "=" padding, as the snapshot file stores
// clipboard bytes. Decoding is strict. Pure functions; callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brimwell::Base64 {

// The padded Base64 text of `bytes` (length a multiple of four).
std::string encode(const std::vector<std::uint8_t>& bytes);

// The length of the padded text of `byteCount` bytes.
constexpr std::size_t encodedSize(std::size_t byteCount) { return (byteCount + 2) / 3 * 4; }

// Writes the padded Base64 text of `bytes` at `out`, which has room for encodedSize(bytes.size())
// characters, and returns the end of what it wrote. Slices whose sizes are multiples of three give
// exactly the text of the whole, so a long input can be encoded a slice at a time.
char* encodeTo(std::span<const std::uint8_t> bytes, char* out);

// The bytes `text` encodes, or nothing unless it is canonical padded Base64: a length that is a
// multiple of four, only alphabet characters, "=" only as one or two final characters, and zero
// bits in the unused part of the last character (no whitespace, no line breaks).
std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

}  // namespace brimwell::Base64
