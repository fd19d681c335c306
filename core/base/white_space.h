// Unicode white space in UTF-8 text: the characters with the White_Space property (ASCII space,
// tab and line breaks, next line, no-break space, the typographic spaces, the line and paragraph
// separators, ideographic space and their kin). Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace brimwell {

// The byte length of the white-space character starting at `text[i]`, or 0 when none starts there.
std::size_t whiteSpaceLength(std::string_view text, std::size_t i);

// The byte length of the white-space character ending just before `text[end]`, or 0.
std::size_t whiteSpaceLengthBefore(std::string_view text, std::size_t end);

// `text` without white space at either end.
std::string_view trimWhiteSpace(std::string_view text);

}  // namespace brimwell
