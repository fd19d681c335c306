#include "brimwell/core/storage/ascii_text.h"

#include <gtest/gtest.h>

#include <string>

namespace brimwell {
namespace {

// Every length up to past four steps, with one byte at every position: the step, the tail and
// the short-text paths each meet each kind of byte.
TEST(AsciiTextTest, FindsAnyRejectedByteAtAnyPositionOfAnyLength) {
  const struct {
    char byte;
    bool printable, needsNoJsonEscape;
  } cases[] = {
      {' ', true, true},      {'~', true, true},      {'\x7F', true, true},   {'"', true, false},
      {'\\', true, false},    {'\x1F', false, false}, {'\0', false, false},   {'\n', false, false},
      {'\x80', false, false}, {'\xC3', false, false}, {'\xFF', false, false},
  };
  for (std::size_t size = 1; size <= 70; ++size) {
    const std::string plain(size, 'a');
    ASSERT_TRUE(AsciiText::isPrintable(plain) && AsciiText::needsNoJsonEscape(plain)) << size;
    for (const auto& c : cases) {
      for (std::size_t at = 0; at < size; ++at) {
        std::string text = plain;
        text[at] = c.byte;
        ASSERT_EQ(AsciiText::isPrintable(text), c.printable)
            << "byte " << int(c.byte) << " at " << at << " of " << size;
        ASSERT_EQ(AsciiText::needsNoJsonEscape(text), c.needsNoJsonEscape)
            << "byte " << int(c.byte) << " at " << at << " of " << size;
      }
    }
  }
  EXPECT_TRUE(AsciiText::isPrintable("") && AsciiText::needsNoJsonEscape(""));
}

}  // namespace
}  // namespace brimwell
