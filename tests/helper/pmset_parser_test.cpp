#include "helper/pmset_parser.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

using namespace PmsetParser;

struct Expect {
  std::optional<bool> lowPower;
  std::optional<bool> batteryLowPower;
  std::optional<std::int64_t> hibernate;
};

TEST(PmsetParserTest, WorkedExamples) {
  const std::pair<const char*, Expect> rows[] = {
      {"Currently in use:\n lowpowermode 1\n", {true, {}, {}}},
      {"Currently in use:\n powermode 2\n", {false, {}, {}}},
      {"Currently in use:\n lowpowermode\n", {{}, {}, {}}},
      {"Battery Power:\n hibernatemode 3\nAC Power:\n hibernatemode 0\n", {{}, {}, 3}},
      {"Battery Power:\n hibernatemode 25\n lowpowermode 0\n", {{}, false, 25}},
      {"Battery Power:\n lowpowermode 1\n powermode 0\n", {{}, true, {}}},
      {" hibernatemode 3\n", {{}, {}, {}}},
      {"Battery Power\n hibernatemode 3\n", {{}, {}, {}}},
      {"", {{}, {}, {}}},
      {"Battery Power:   \n hibernatemode 3\n", {{}, {}, 3}},
      {"Battery Power:\r\n hibernatemode 3\r\n lowpowermode 1\r\n", {{}, true, 3}},
      {"Battery Power:\n\thibernatemode\t25\n", {{}, {}, 25}},
      {"Battery Power:\n hibernatemode 03\n", {{}, {}, 3}},
      {"Battery Power:\n hibernatemode 3.0\n", {{}, {}, {}}},
      {"Battery Power:\n lowpowermode +1\n", {{}, true, {}}},
      {"Battery Power:\n lowpowermode on\n", {{}, {}, {}}},
      // Every line break the tool might use separates lines.
      {"Battery Power:\v hibernatemode 1\f lowpowermode 1\r", {{}, true, 1}},
      {"Battery Power:\xC2\x85 hibernatemode 0\xE2\x80\xA8 lowpowermode 0\xE2\x80\xA9",
       {{}, false, 0}},
      // White space is Unicode's: no-break, em, ideographic and narrow spaces indent and
      // separate like ASCII space; a header may end in any of them after its colon.
      {"Battery Power:\xC2\xA0\n\xC2\xA0hibernatemode\xE2\x80\x83"
       "25\n",
       {{}, {}, 25}},
      {"Battery Power:\n\xE3\x80\x80lowpowermode\xE2\x80\xAF"
       "1\n",
       {{}, true, {}}},
      // A multi-byte letter is not white space: this line is a header, not an entry.
      {"Battery Power:\n\xC3\xA9hibernatemode 3\n", {{}, {}, {}}},
      // A repeated section collects both; a repeated key keeps the last value.
      {"Battery Power:\n hibernatemode 3\nAC Power:\n x 1\nBattery Power:\n hibernatemode 25\n",
       {{}, {}, 25}},
  };
  for (const auto& [text, expect] : rows) {
    SCOPED_TRACE(text);
    EXPECT_EQ(lowPowerMode(text), expect.lowPower);
    EXPECT_EQ(batteryLowPowerMode(text), expect.batteryLowPower);
    EXPECT_EQ(batteryHibernateMode(text), expect.hibernate);
  }
}

TEST(PmsetParserTest, SectionsKeepTheFirstTwoTokensOfIndentedLines) {
  auto parsed = sections("Battery Power:\n Sleep On Power Button 1\n lowpowermode 0\nAC Power:\n");
  EXPECT_EQ(parsed, (PmsetSections{{"Battery Power", {{"Sleep", "On"}, {"lowpowermode", "0"}}}}));
}

}  // namespace
}  // namespace brimwell
