#include "brimwell/core/snapshots/snapshot_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "brimwell/core/storage/brimwell_json.h"
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
  const double numbers[] = {0.0,
                            -0.0,
                            1.0,
                            -2.5,
                            0.1,
                            1e15,
                            1e16,
                            1e21,
                            1e-4,
                            1e-5,
                            3e300,
                            5e-324,
                            123456.789,
                            1.0 / 3,
                            800,
                            -1e-7,
                            -123,
                            999'999'999'999'999,
                            -999'999'999'999'999,
                            1e15 - 0.5};
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

TEST(SnapshotWriterTest, HandsOverTheSameTextInPiecesAndStopsAtTheSinksFirstError) {
  // Clipboard sizes around the slices the Base64 text is made in, and far beyond one piece.
  std::mt19937 random(5);
  for (const std::size_t size : {1u, 2u, 196607u, 196608u, 196609u, 700001u}) {
    SCOPED_TRACE(size);
    Snapshot snapshot = testing::richSnapshot();
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    snapshot.clipboard = ClipboardRecord({{{"public.data", bytes}, {"public.text", {7}}}});
    std::string text;
    int pieces = 0;
    ASSERT_TRUE(SnapshotWriter::write(snapshot, [&](std::string_view piece) {
      text.append(piece);
      ++pieces;
      return Status();
    }));
    EXPECT_EQ(text, BrimwellJSON::encode(snapshot).value());
    EXPECT_GT(pieces, static_cast<int>(size / 262144));  // never the whole text at once
  }

  Snapshot large = testing::richSnapshot();
  large.clipboard = ClipboardRecord({{{"public.data", std::vector<std::uint8_t>(1000000)}}});
  int calls = 0;
  const Status failed = SnapshotWriter::write(large, [&](std::string_view) {
    return ++calls == 2 ? fail("No space left on device", ENOSPC) : Status();
  });
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().code(), ENOSPC);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace brimwell
