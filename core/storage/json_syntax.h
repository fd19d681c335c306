// JsonSyntax: whether a text is one JSON value, judged exactly as the shared decoder judges it
// (RFC 8259, a leading byte-order mark allowed, well-formed UTF-8 and surrogate pairs, numbers a
// double can hold), without building anything. Nesting is tracked without recursion, so no depth
// of brackets can exhaust the stack. Pure functions; callable from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace brimwell::JsonSyntax {

// The offset of the first byte at which `text` stops being a single JSON value surrounded by
// white space, or nothing when it is one. A non-empty `placeholder` makes a string whose whole
// content is exactly `placeholder` valid even where its escapes are not: the stand-in a reader
// that shortened the text put for content it checked itself.
std::optional<std::size_t> firstFault(std::string_view text, std::string_view placeholder = {});

}  // namespace brimwell::JsonSyntax
