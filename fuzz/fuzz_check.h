// What every fuzz target shares: a check that reports the broken invariant and aborts, so the
// fuzzer records the input, and the decode-encode round trip every record's codec must keep.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell::fuzz {

inline void check(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// When `text` decodes as a T: its encoding decodes, and from then on decode and encode are each
// other's inverse (the first encoding may round dates to milliseconds, later ones change
// nothing). Returns the first decoded value when there is one.
template <class T>
std::optional<T> checkRoundTrip(std::string_view text) {
  auto first = BrimwellJSON::decode<T>(text);
  if (!first) return std::nullopt;
  auto encoded = BrimwellJSON::encode(*first);
  check(encoded.has_value(), "a decoded value encodes");
  auto second = BrimwellJSON::decode<T>(*encoded);
  check(second.has_value(), "an encoded value decodes");
  auto again = BrimwellJSON::encode(*second);
  check(again.has_value() && *again == *encoded, "encoding is stable after one round trip");
  auto third = BrimwellJSON::decode<T>(*again);
  check(third.has_value() && *third == *second, "decode after encode gives the same value");
  return std::move(*first);
}

}  // namespace brimwell::fuzz
