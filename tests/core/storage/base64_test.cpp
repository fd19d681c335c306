#include "core/storage/base64.h"

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

TEST(Base64Test, DecodingRejectsEverythingButCanonicalPaddedText) {
  for (const char* text : {"Zg", "Zg=", "Zm9", "Zg===", "====", "Z===", "Zm9v\n", " Zm9v", "Zm=v",
                           "Zm9v-_==", "Zh==", "Zm9=", "Zm9vYg==Zm9v"}) {
    EXPECT_EQ(Base64::decode(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace brimwell
