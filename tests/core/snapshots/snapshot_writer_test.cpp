#include "core/snapshots/snapshot_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "core/storage/brimwell_json.h"
#include "tests/core/snapshots/snapshot_samples.h"

namespace brimwell {
namespace {

TEST(SnapshotWriterTest, WritesTheSharedEncodersBytesForAwkwardValues) {
  const std::string texts[] = {"",
                               "plain / with slash",
                               "quote \" backslash \\ tab \t newline \n cr \r ff \f bs \b",
                               std::string("nul \0 and \x1f unit \x7f del", 22),
                               "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
                               "bad \xC3 \xFF \xED\xA0\x80 \xF4\x90\x80\x80 \xC0\xAF end",
                               "\xE2\x82"};
  const double numbers[] = {0.0,  -0.0, 1.0,   -2.5,   0.1,        1e15,    1e16, 1e21,
                            1e-4, 1e-5, 3e300, 5e-324, 123456.789, 1.0 / 3, 800,  -1e-7};
  std::mt19937 random(11);
  for (int round = 0; round < 40; ++round) {
    Snapshot snapshot = testing::richSnapshot();
    const auto text = [&] { return texts[random() % std::size(texts)]; };
    const auto number = [&] { return numbers[random() % std::size(numbers)]; };
    snapshot.id = text();
    snapshot.meta.hostModel = text();
    snapshot.meta.durationMs = static_cast<std::int64_t>(random()) - (1LL << 40);
    snapshot.apps[0].windows[0].title = text();
    snapshot.apps[0].windows[0].frame = Rect{number(), number(), number(), number()};
    snapshot.apps[1].bundleID = round % 3 ? std::optional(text()) : std::nullopt;
    snapshot.browsers[0].windows[0].tabs[1] = {text(), text()};
    snapshot.finder[0].bounds = round % 2 ? std::optional(Rect{number(), 0, 0, 0}) : std::nullopt;
    snapshot.terminals[0].windows[0].tabs[0].directory = text();
    snapshot.clipboard = ClipboardRecord({{{text(), {1, 2, 3, 4}}, {text() + "z", {}}}, {}});
    snapshot.savers[0].detail = round % 2 ? std::optional(text()) : std::nullopt;
    if (round % 4 == 0) snapshot.clipboard.reset(), snapshot.savePassAt.reset();
    EXPECT_EQ(SnapshotWriter::encode(snapshot).value(), BrimwellJSON::encode(snapshot).value());
  }
  EXPECT_EQ(SnapshotWriter::encode(testing::emptySnapshot()).value(),
            BrimwellJSON::encode(testing::emptySnapshot()).value());
}

TEST(SnapshotWriterTest, FailsLikeTheSharedEncoderForNumbersJSONCantHold) {
  Snapshot snapshot = testing::richSnapshot();
  snapshot.apps[0].windows[0].frame->x = std::numeric_limits<double>::infinity();
  const auto written = SnapshotWriter::encode(snapshot);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error(), BrimwellJSON::encode(snapshot).error());
}

}  // namespace
}  // namespace brimwell
