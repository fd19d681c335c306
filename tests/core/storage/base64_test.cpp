#include "brimwell/core/storage/base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace brimwell {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

TEST(Base64Test, EncodesWithPaddingAndRoundTrips) {
  const struct {
    const char* plain;
    const char* encoded;
  } cases[] = {{"", ""},
               {"f", "Zg=="},
               {"fo", "Zm8="},
               {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="},
               {"fooba", "Zm9vYmE="},
               {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Base64::encode(bytesOf(c.plain)), c.encoded);
    EXPECT_EQ(Base64::decode(c.encoded), bytesOf(c.plain)) << c.encoded;
  }
  std::vector<std::uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(255 - i));
  EXPECT_EQ(Base64::encode({0xFB, 0xFF}), "+/8=");  // the two last alphabet characters
  EXPECT_EQ(Base64::decode(Base64::encode(all)), all);
}

// Long inputs go sixteen characters a step and end a group of three at a time: every length
// meets each path and each way of ending.
TEST(Base64Test, EveryLengthRoundTripsAndSlicesGiveTheTextOfTheWhole) {
  std::vector<std::uint8_t> bytes(200);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 151 + 7);
  for (std::size_t size = 0; size <= bytes.size(); ++size) {
    const std::vector<std::uint8_t> input(bytes.begin(), bytes.begin() + size);
    const std::string text = Base64::encode(input);
    ASSERT_EQ(text.size(), (size + 2) / 3 * 4);
    ASSERT_EQ(Base64::decode(text), input) << size;
    std::string sliced(text.size() + 1, '#');
    const std::size_t half = size / 2 / 3 * 3;
    char* end = Base64::encodeTo(std::span(input).first(half), sliced.data());
    end = Base64::encodeTo(std::span(input).subspan(half), end);
    ASSERT_EQ(end - sliced.data(), static_cast<std::ptrdiff_t>(text.size()));
    ASSERT_EQ(sliced, text + "#") << size;
  }
}

TEST(Base64Test, DecodingRejectsEverythingButCanonicalPaddedText) {
  for (const char* text : {"Zg", "Zg=", "Zm9", "Zg===", "====", "Z===", "Zm9v\n", " Zm9v", "Zm=v",
                           "Zm9v-_==", "Zh==", "Zm9=", "Zm9vYg==Zm9v"}) {
    EXPECT_EQ(Base64::decode(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace brimwell
