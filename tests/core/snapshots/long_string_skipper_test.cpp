#include "brimwell/core/snapshots/long_string_skipper.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "tests/core/snapshots/skimmed.h"

namespace brimwell {
namespace {

using testing::skimmed;

// The same shortening done the obvious way, a character at a time over the whole text. A
// backslash escapes the next character inside strings and out.
std::optional<std::string> reference(const std::string& text, std::size_t longString) {
  std::string out, content;
  bool inString = false, escaped = false;
  const auto finishString = [&]() -> bool {
    if (content.size() <= longString) {
      out += content;
      return content != LongStringSkipper::marker;
    }
    for (unsigned char c : content) {
      if (c < 0x20 || c > 0x7F || c == '\\') return false;
    }
    out += LongStringSkipper::marker;
    return true;
  };
  for (char c : text) {
    if (!inString) {
      out += c;
      inString = c == '"' && !escaped;
      escaped = c == '\\' && !escaped;
      content.clear();
    } else if (escaped || c == '\\') {
      escaped = !escaped;
      content += c;
    } else if (c == '"') {
      if (!finishString()) return std::nullopt;
      out += c;
      inString = false;
    } else {
      content += c;
    }
  }
  if (inString && !finishString()) return std::nullopt;
  return out;
}

TEST(LongStringSkipperTest, LeavesOutTheContentOfLongStringsHoweverTheTextArrives) {
  const struct {
    std::string text;
    std::optional<std::string> expected;  // nothing when the skipper must stop being faithful
  } cases[] = {
      {R"({"a":"abcd","b":"abcde"})", R"({"a":"abcd","b":"\_"})"},
      {R"({"abcdefgh":[1,"x"]})", R"({"\_":[1,"x"]})"},  // a key too: reading it fails
      // An escape in a left-out string is the parser's to check: the whole text is read.
      {R"(["ab\"cd\"ef","z"])", std::nullopt},
      {R"(["\\","abcdef"])", R"(["\\","\_"])"},  // an escaped backslash ends nothing
      {R"(["a\\\"bcdefg"])", std::nullopt},
      {R"(["\\\\\\\\\\"])", std::nullopt},
      {R"(["\q","abcdefgh"])", R"(["\q","\_"])"},
      // The text's own marker would pass for a left-out string.
      {R"({"a":"\_","b":"abcdefgh"})", std::nullopt},
      {R"({"a":"\_x","b":"abcdefgh"})", R"({"a":"\_x","b":"\_"})"},
      {"[\"abc\x01\"]", "[\"abc\x01\"]"},  // short strings are the parser's to judge
      {"[\"abcdefgh\x7F\"]", R"(["\_"])"},
      {"[\"abcdefgh\x01\"]", std::nullopt},
      {"[\"abcdefg\xC3\xA9\"]", std::nullopt},  // a multibyte character
      {R"(["abcdefgh)", R"(["\_)"},             // unterminated: the parser reports it
      {R"({"a":1} "tail)", R"({"a":1} "tail)"},
      {R"([\"abcdefgh"])", R"([\"abcdefgh"])"},  // an escaped quote opens no string
      {R"([\\"abcdefgh"])", R"([\\"\_"])"},
      {"", ""},
  };
  for (const auto& c : cases) {
    for (std::size_t piece = 1; piece <= c.text.size() + 1; ++piece) {
      EXPECT_EQ(skimmed(c.text, 4, piece), c.expected) << c.text << " in pieces of " << piece;
    }
    EXPECT_EQ(reference(c.text, 4), c.expected) << c.text;
  }
}

// Content kept before the string proved long is checked too, as is content in later pieces.
TEST(LongStringSkipperTest, AnyByteOutsidePrintableAsciiInALongStringStopsIt) {
  const std::string printable(200, 'a');
  EXPECT_EQ(skimmed('"' + printable + '"', 4, 64), R"("\_")");
  for (const std::size_t at : {0, 3, 100, 199}) {
    std::string text = '"' + printable + '"';
    text[1 + at] = '\x01';
    EXPECT_EQ(skimmed(text, 4, 64), std::nullopt) << at;
  }
}

TEST(LongStringSkipperTest, AgreesWithACharacterByCharacterReadingOnRandomTexts) {
  std::mt19937 random(11);
  const std::string alphabet = "\"\\\"\\ab{:,}\x01\xC3";  // quotes and backslashes twice as likely
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t size = random() % 60;
    for (std::size_t i = 0; i < size; ++i) {
      // Mostly printable runs, so long strings form.
      text += random() % 4 == 0 ? alphabet[random() % alphabet.size()]
                                : static_cast<char>('a' + random() % 3);
    }
    const std::size_t longString = 2 + random() % 8, piece = 1 + random() % 16;
    ASSERT_EQ(skimmed(text, longString, piece), reference(text, longString))
        << text << " limit " << longString << " pieces of " << piece;
  }
}

}  // namespace
}  // namespace brimwell
