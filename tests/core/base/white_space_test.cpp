#include "brimwell/core/base/white_space.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

TEST(WhiteSpaceTest, TrimsEveryUnicodeSpaceAndNothingElse) {
  const std::pair<std::string_view, std::string_view> rows[] = {
      {" \t\r\n\v\fx y\t ", "x y"},
      {"\xC2\xA0x\xC2\x85", "x"},          // no-break space, next line
      {"\xE2\x80\xA8x\xE2\x80\xA9", "x"},  // line and paragraph separators
      {"\xE1\x9A\x80\xE2\x80\x8Ax\xE2\x80\xAF\xE3\x80\x80",
       "x"},  // ogham, hair, narrow, ideographic
      {"\xE2\x80\x8Bx\xE2\x80\x8B", "\xE2\x80\x8Bx\xE2\x80\x8B"},  // zero-width space is not one
      {"\xC3\xA9", "\xC3\xA9"},                                    // a letter
      {"\xC2", "\xC2"},                                            // a truncated sequence
      {"\xA0x\x85", "\xA0x\x85"},                                  // stray continuation bytes
      {"  ", ""},
      {"", ""},
  };
  for (const auto& [text, trimmed] : rows) EXPECT_EQ(trimWhiteSpace(text), trimmed) << text;
}

}  // namespace
}  // namespace brimwell
