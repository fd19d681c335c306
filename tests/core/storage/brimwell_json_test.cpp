#include "brimwell/core/storage/brimwell_json.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brimwell {
namespace {

Date at(std::int64_t nanosSinceEpoch) { return Date(std::chrono::nanoseconds(nanosSinceEpoch)); }

TEST(BrimwellJSONTest, FormatRoundsToMillisecondsHalfAwayFromZero) {
  const struct {
    std::int64_t nanos;
    const char* text;
  } cases[] = {
      {1'250'000'000, "1970-01-01T00:00:01.250Z"},
      {2'062'500'000, "1970-01-01T00:00:02.063Z"},  // the half goes up
      {2'062'499'999, "1970-01-01T00:00:02.062Z"},
      {-250'000'000, "1969-12-31T23:59:59.750Z"},  // before 1970 the fraction still counts up
      {-500'000, "1969-12-31T23:59:59.999Z"},      // -0.5 ms rounds away from zero, to -1 ms
      {-499'999, "1970-01-01T00:00:00.000Z"},
      {0, "1970-01-01T00:00:00.000Z"},  // a whole second still has three digits
      {1'772'373'909'250'000'000, "2026-03-01T14:05:09.250Z"},
      {1'772'373'909'999'600'000, "2026-03-01T14:05:10.000Z"},  // rounding carries into the second
      {951'782'400'000'000'000, "2000-02-29T00:00:00.000Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(BrimwellJSON::format(at(c.nanos)), c.text) << c.nanos;
}

TEST(BrimwellJSONTest, ParseAcceptsAnyFractionAndNoFractionWithinTheNanosecondRange) {
  const Date base = at(1'772'373'909'000'000'000);  // 2026-03-01T14:05:09Z
  const struct {
    const char* text;
    std::optional<Date> expected;
  } cases[] = {
      {"2026-03-01T14:05:09Z", base},
      {"2026-03-01T14:05:09.2Z", base + std::chrono::milliseconds(200)},
      {"2026-03-01T14:05:09.250Z", base + std::chrono::milliseconds(250)},
      {"2026-03-01T14:05:09.05Z", base + std::chrono::milliseconds(50)},
      {"2026-03-01T14:05:09.123456789123Z", base + std::chrono::nanoseconds(123'456'789)},
      {"2026-03-01T15:05:09+0100", base},
      {"2026-03-01T13:05:09.5-0100", base + std::chrono::milliseconds(500)},
      {"1969-12-31T23:59:59.750Z", at(-250'000'000)},
      {"2026-03-01T14:05:09.Z", std::nullopt},  // a dot without digits
      {"", std::nullopt},
      {"soon", std::nullopt},
      {"2026-02-30T00:00:00Z", std::nullopt},
      {"2026-03-01T24:00:00Z", std::nullopt},
      {"2026-03-01T14:60:00Z", std::nullopt},
      {"2026-03-01 14:05:09Z", std::nullopt},
      {"2026-03-01T14:05:09", std::nullopt},
      {"2026-03-01T14:05:09+01:00", std::nullopt},
      {"2026-03-01T14:05:09ZZ", std::nullopt},
      // Hostile text once overflowed the nanosecond count (undefined behaviour) instead of failing.
      {"2262-04-11T23:47:16.854775807Z", Date::max()},
      {"2262-04-11T23:47:16.854775808Z", std::nullopt},
      {"2262-04-11T23:47:17Z", std::nullopt},
      {"1677-09-21T00:12:43.145224192Z", Date::min()},
      {"1677-09-21T00:12:43.145224191Z", std::nullopt},
      {"0820-03-01T14:05:09.250Z", std::nullopt},
      {"9999-12-31T23:59:59Z", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(BrimwellJSON::parse(c.text), c.expected) << c.text;
}

struct Sample {
  std::string path;
  std::optional<int> count;
  Date when;
  std::vector<double> values;
  friend bool operator==(const Sample&, const Sample&) = default;
};

}  // namespace

template <>
struct JsonCoding<Sample> {
  static Json write(const Sample& s) {
    return JsonObjectWriter()
        .put("zPath", s.path)
        .put("count", s.count)
        .put("when", s.when)
        .put("values", s.values)
        .take();
  }
  static Sample read(const Json& json) {
    JsonObjectReader object(json);
    return {object.required<std::string>("zPath"), object.optional<int>("count"),
            object.required<Date>("when"), object.required<std::vector<double>>("values")};
  }
};

namespace {

TEST(BrimwellJSONTest, EncodingIsCompactSortedWithPlainSlashesAndNoAbsentKeys) {
  const Sample sample{"/Users/ann/Report é.pages", std::nullopt, at(1'250'000'000), {0.4, 600}};
  auto text = BrimwellJSON::encode(sample);
  ASSERT_TRUE(text);
  EXPECT_EQ(
      *text,
      R"({"values":[0.4,600.0],"when":"1970-01-01T00:00:01.250Z","zPath":"/Users/ann/Report é.pages"})");
  auto back = BrimwellJSON::decode<Sample>(*text);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, sample);
}

TEST(BrimwellJSONTest, DecodingFailsWithOneSentence) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {R"({"zPath":"a","when":"soon","values":[]})", "Not an ISO8601 date: soon"},
      {R"({"zPath":"a","values":[]})", "The key \"when\" is missing."},
      {R"({"zPath":1,"when":"1970-01-01T00:00:00Z","values":[]})",
       "Expected a string but found an integer."},
      {R"({"zPath":"a","count":2.5,"when":"1970-01-01T00:00:00Z","values":[]})",
       "Expected an integer but found a number with a fraction."},
      {R"({"zPath":"a","count":4294967296,"when":"1970-01-01T00:00:00Z","values":[]})",
       "The number 4294967296 is out of range."},
      {R"([1])", "Expected an object but found an array."},
      {R"({"zPath":)", "The data isn't valid JSON (at byte 10)."},
      // A number no double holds once escaped as an exception and ended the process.
      {R"({"zPath":"a","when":"1970-01-01T00:00:00Z","values":[1e999]})",
       "The data isn't valid JSON (a number is too large)."},
  };
  for (const auto& c : cases) {
    auto result = BrimwellJSON::decode<Sample>(std::string_view(c.text));
    ASSERT_FALSE(result) << c.text;
    EXPECT_EQ(result.error().message(), c.message) << c.text;
  }
  // The parser stops at a NUL byte; what follows one must not go unread.
  using namespace std::string_view_literals;
  for (const std::string_view text : {R"({"zPath":"a","when":"1970-01-01T00:00:00Z","values":[]})"
                                      "\0garbage"sv,
                                      R"({"zPath":"a","when":"1970-01-01T00:00:00Z","values":[]})"
                                      "\0"sv,
                                      R"({"zPath":"a)"
                                      "\0"
                                      R"(b","when":"1970-01-01T00:00:00Z","values":[]})"sv}) {
    auto result = BrimwellJSON::decode<Sample>(text);
    ASSERT_FALSE(result) << text;
    EXPECT_EQ(result.error().message(),
              "The data isn't valid JSON (at byte " + std::to_string(text.find('\0') + 1) + ").");
  }
  // An optional key holding null reads as absent.
  auto withNull = BrimwellJSON::decode<Sample>(
      R"({"zPath":"a","count":null,"when":"1970-01-01T00:00:00Z","values":[]})");
  ASSERT_TRUE(withNull);
  EXPECT_EQ(withNull->count, std::nullopt);
}

TEST(BrimwellJSONTest, EncodingRefusesNumbersJsonCannotHold) {
  const Sample sample{"a", 1, at(0), {std::numeric_limits<double>::quiet_NaN()}};
  auto text = BrimwellJSON::encode(sample);
  ASSERT_FALSE(text);
  EXPECT_EQ(text.error().message(), "The number nan can't be written as JSON.");
}

}  // namespace
}  // namespace brimwell
