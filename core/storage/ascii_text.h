// AsciiText: quick checks that nearly all text passes and that decide whether it needs a closer
// look. Both test 16 bytes a step. Pure functions; callable from any thread.
#pragma once

#include <string_view>

namespace brimwell::AsciiText {

// Every byte lies in 0x20..0x7F: no control character and nothing beyond ASCII.
bool isPrintable(std::string_view text);

// Printable as above, with neither '"' nor '\': a JSON string holds the text unchanged.
bool needsNoJsonEscape(std::string_view text);

}  // namespace brimwell::AsciiText
