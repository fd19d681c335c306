// BrimwellJSON: the one JSON coding shared by every file of the system. Output is compact, object
// keys are sorted by code point, slashes are not escaped and absent optionals are left out; dates
// are UTC text with exactly three fractional digits, read back with or without a fraction.
// Stateless; callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/error.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell::BrimwellJSON {

// The stored text of a date, such as 2026-03-01T14:05:09.250Z: rounded to the nearest millisecond,
// halves away from zero.
std::string format(Date date);

// The date a text names, with or without a fraction of any length; nothing for any other text.
std::optional<Date> parse(std::string_view text);

// The compact JSON text of a value tree (invalid UTF-8 in strings is replaced, never rejected).
std::string dump(const Json& json);

// `value` encoded; fails only when it holds something JSON can't represent (a non-finite number).
template <class T>
Result<std::string> encode(const T& value) {
  try {
    return dump(toJson(value));
  } catch (const JsonCodingError& error) {
    return fail(error.what());
  }
}

// The JSON tree of `text`; fails with one sentence when the text isn't JSON.
Result<Json> parseTree(std::string_view text);

// A `T` decoded strictly from a JSON tree.
template <class T>
Result<T> decodeTree(const Json& json) {
  try {
    return fromJson<T>(json);
  } catch (const JsonCodingError& error) {
    return fail(error.what());
  }
}

// A `T` decoded strictly from JSON text.
template <class T>
Result<T> decode(std::string_view text) {
  auto tree = parseTree(text);
  if (!tree) return Unexpected(std::move(tree).error());
  return decodeTree<T>(*tree);
}

}  // namespace brimwell::BrimwellJSON
