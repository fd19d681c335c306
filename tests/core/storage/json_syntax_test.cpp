#include "brimwell/core/storage/json_syntax.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

using namespace std::string_literals;

TEST(JsonSyntaxTest, NamesTheFirstByteThatIsNotJson) {
  const struct {
    std::string text;
    std::optional<std::size_t> fault;
  } cases[] = {
      {R"({"a":[1,-0.5e+3,true,false,null,"x\"\\\/\b\f\n\r\t\u00e9\uD83D\uDE00"],"b":{}})",
       std::nullopt},
      {" \t\r\n[ ] \n", std::nullopt},
      {"\xEF\xBB\xBF{}", std::nullopt},  // a byte-order mark, as the shared decoder allows
      {"\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\x7F\"", std::nullopt},
      {"1e-999", std::nullopt},  // underflows to zero
      {R"(["\q"])", 3},
      {R"(["\u12"])", 6},
      {R"(["\u12g4"])", 6},
      {R"(["\ud800"])", 8},
      {R"(["\ud800\u0041"])", 14},
      {R"(["\udc00"])", 8},
      {R"([1,])", 3},
      {R"({"a":1,})", 7},
      {R"({"a" 1})", 5},
      {R"({1:2})", 1},
      {"[NaN]", 1},
      {"[05]", 2},
      {"[-]", 2},
      {"[1.]", 3},
      {"[1e]", 3},
      {"[.5]", 1},
      {"[+1]", 1},
      {"[tru]", 1},
      {"[nulls]", 5},
      {"['x']", 1},
      {"[word]", 1},
      {"[1e999]", 6},  // no double holds it
      {"[" + std::string(400, '9') + "]", 401},
      {"[\"a\x01\"]", 3},
      {"[\"\xC3\"]", 2},
      {"[\"\xED\xA0\x80\"]", 2},  // a surrogate spelled in UTF-8
      {"[\"\xC0\x80\"]", 2},      // an overlong form
      {"[\"\xF4\x90\x80\x80\"]", 2},
      {"{}x", 2},
      {"{} {}", 3},
      {"", 0},
      {"[\"abc", 5},
      {"[1", 2},
      {"{\"a\"", 4},
      {"{}\0"s, 2},
      {R"(["\_"])", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonSyntax::firstFault(c.text), c.fault) << c.text;
    // The shared decoder agrees on which texts are JSON.
    EXPECT_EQ(BrimwellJSON::parseTree(c.text).has_value(), !c.fault.has_value()) << c.text;
  }
}

TEST(JsonSyntaxTest, APlaceholderStandsOnlyForAWholeString) {
  EXPECT_EQ(JsonSyntax::firstFault(R"({"\_":["\_"]})", "\\_"), std::nullopt);
  EXPECT_EQ(JsonSyntax::firstFault(R"(["\_x"])", "\\_"), 3u);
  EXPECT_EQ(JsonSyntax::firstFault(R"(["x\_"])", "\\_"), 4u);
  EXPECT_EQ(JsonSyntax::firstFault(R"(["\_)", "\\_"), 3u);
  EXPECT_EQ(JsonSyntax::firstFault(R"(["\_"])"), 3u);
}

TEST(JsonSyntaxTest, DepthCostsNoStack) {
  const std::size_t depth = 1 << 20;
  const std::string nested = std::string(depth, '[') + std::string(depth, ']');
  EXPECT_EQ(JsonSyntax::firstFault(nested), std::nullopt);
  std::string broken = nested;
  broken[depth + 10] = '}';
  EXPECT_EQ(JsonSyntax::firstFault(broken), depth + 10);
  EXPECT_EQ(JsonSyntax::firstFault(std::string(depth, '[')), depth);
  std::string objects;
  for (std::size_t i = 0; i < depth / 8; ++i) objects += R"({"k":)";
  objects += "0" + std::string(depth / 8, '}');
  EXPECT_EQ(JsonSyntax::firstFault(objects), std::nullopt);
}

// Random short texts over JSON's own characters: exactly the ones the shared decoder takes pass.
TEST(JsonSyntaxTest, AgreesWithTheSharedDecoderOnRandomTexts) {
  const std::string pieces[] = {
      "{", "}", "[", "]", ",", ":",    "\"",  "\"a\"", "\\",   "\\u",  "d8",   "00", "dc", "0",
      "1", "-", ".", "e", "+", "true", "nul", " ",     "\xC3", "\xA9", "\x01", "n",  "u",  "l"};
  std::mt19937 random(7);
  int valid = 0;
  for (int round = 0; round < 60000; ++round) {
    std::string text;
    for (std::size_t n = 1 + random() % 10; n > 0; --n)
      text += pieces[random() % std::size(pieces)];
    const bool json = BrimwellJSON::parseTree(text).has_value();
    ASSERT_EQ(!JsonSyntax::firstFault(text).has_value(), json) << text;
    valid += json;
  }
  EXPECT_GT(valid, 1000);  // the texts reach both sides
}

}  // namespace
}  // namespace brimwell
