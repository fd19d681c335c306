#include "linux/save/msgpack.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace brimwell {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string out;
  for (const int b : list) out += static_cast<char>(b);
  return out;
}

MsgValue integer(std::int64_t n) { return {n}; }
MsgValue text(std::string s) { return {std::move(s)}; }

// Each value in its smallest form, as the format's description lays the bytes out.
TEST(MsgPack, EncodesEachValueInItsSmallestFormAndDecodesItBack) {
  const struct {
    MsgValue value;
    std::string encoded;
  } cases[] = {
      {{}, bytes({0xC0})},
      {{true}, bytes({0xC3})},
      {{false}, bytes({0xC2})},
      {integer(0), bytes({0x00})},
      {integer(127), bytes({0x7F})},
      {integer(128), bytes({0xCC, 0x80})},
      {integer(65535), bytes({0xCD, 0xFF, 0xFF})},
      {integer(65536), bytes({0xCE, 0x00, 0x01, 0x00, 0x00})},
      {integer(1LL << 32), bytes({0xCF, 0, 0, 0, 1, 0, 0, 0, 0})},
      {integer(-1), bytes({0xFF})},
      {integer(-32), bytes({0xE0})},
      {integer(-33), bytes({0xD0, 0xDF})},
      {integer(-129), bytes({0xD1, 0xFF, 0x7F})},
      {integer(-40000), bytes({0xD2, 0xFF, 0xFF, 0x63, 0xC0})},
      {integer(INT64_MIN), bytes({0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0})},
      {{std::uint64_t{UINT64_MAX}}, bytes({0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {{1.5}, bytes({0xCB, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0})},
      {text(""), bytes({0xA0})},
      {text("abc"), bytes({0xA3, 'a', 'b', 'c'})},
      {text(std::string(31, 'x')), bytes({0xBF}) + std::string(31, 'x')},
      {text(std::string(32, 'x')), bytes({0xD9, 32}) + std::string(32, 'x')},
      {text(std::string(256, 'x')), bytes({0xDA, 0x01, 0x00}) + std::string(256, 'x')},
      {text(std::string(70000, 'x')), bytes({0xDB, 0, 1, 0x11, 0x70}) + std::string(70000, 'x')},
      {{MsgArray{}}, bytes({0x90})},
      {{MsgArray{integer(1), text("a")}}, bytes({0x92, 0x01, 0xA1, 'a'})},
      {{MsgArray(16, integer(0))}, bytes({0xDC, 0, 16}) + std::string(16, '\0')},
      {{MsgMap{{text("k"), {true}}}}, bytes({0x81, 0xA1, 'k', 0xC3})},
      {{MsgExt{.type = 0, .data = bytes({0x05})}}, bytes({0xD4, 0x00, 0x05})},
      {{MsgExt{.type = 2, .data = bytes({0xCD, 0x01, 0x00})}}, bytes({0xC7, 3, 2, 0xCD, 1, 0})},
      {{MsgExt{.type = -1, .data = std::string(8, 'z')}},
       bytes({0xD7, 0xFF}) + std::string(8, 'z')},
  };
  for (const auto& [value, encoded] : cases) {
    EXPECT_EQ(encodeMsg(value), encoded);
    const auto decoded = decodeMsg(encoded + "trailing");
    ASSERT_TRUE(decoded) << decoded.error().message();
    EXPECT_EQ(decoded->value, value);
    EXPECT_EQ(decoded->used, encoded.size());
  }
}

TEST(MsgPack, ReadsTheFormsItNeverWrites) {
  const struct {
    std::string encoded;
    MsgValue value;
  } cases[] = {
      {bytes({0xC4, 2, 'h', 'i'}), text("hi")},                               // bin 8 reads as text
      {bytes({0xCC, 0x05}), integer(5)},                                      // a wide form of 5
      {bytes({0xD0, 0x05}), integer(5)},                                      // int 8
      {bytes({0xCA, 0x3F, 0xC0, 0x00, 0x00}), {1.5}},                         // float 32
      {bytes({0xDD, 0, 0, 0, 1, 0xC0}), {MsgArray{{}}}},                      // array 32
      {bytes({0xDE, 0, 1, 0x01, 0x02}), {MsgMap{{integer(1), integer(2)}}}},  // map 16
  };
  for (const auto& [encoded, value] : cases) {
    const auto decoded = decodeMsg(encoded);
    ASSERT_TRUE(decoded) << decoded.error().message();
    EXPECT_EQ(decoded->value, value);
  }
}

TEST(MsgPack, TellsIncompleteInputFromMalformedAndBoundsWhatAPeerCanCost) {
  const struct {
    std::string encoded;
    int code;
  } cases[] = {
      {"", EAGAIN},
      {bytes({0xA3, 'a'}), EAGAIN},                           // a string cut short
      {bytes({0xDB, 0xFF, 0xFF, 0xFF, 0xFF}), EAGAIN},        // a 4 GiB string promised
      {bytes({0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0xC0}), EAGAIN},  // 4 billion items promised
      {bytes({0x92, 0x01}), EAGAIN},                          // an array missing an item
      {bytes({0xCF, 0x00}), EAGAIN},
      {bytes({0xC7, 0x02, 0x00, 0x01}), EAGAIN},  // an extension missing a byte
      {bytes({0xC1}), EBADMSG},                   // the one byte never used
      {bytes({0x91, 0x91, 0xC1}), EBADMSG},
      {std::string(kMsgMaxDepth + 1, '\x91') + bytes({0xC0}), EBADMSG},  // nested too deep
  };
  for (const auto& [encoded, code] : cases) {
    const auto decoded = decodeMsg(encoded);
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error().code(), code);
  }
  // As deep as allowed still reads.
  EXPECT_TRUE(decodeMsg(std::string(kMsgMaxDepth, '\x91') + bytes({0xC0})));
  // More values than a message may hold, in nested arrays of 16 so no single count is too large.
  std::string many = bytes({0xDD, 0x00, 0x01, 0x00, 0x00});  // 65536 arrays
  for (int i = 0; i < 65536; ++i) many += bytes({0xDC, 0x00, 0x10}) + std::string(16, '\0');
  const auto decoded = decodeMsg(many);
  ASSERT_FALSE(decoded);
  EXPECT_EQ(decoded.error().code(), EBADMSG);
}

}  // namespace
}  // namespace brimwell
