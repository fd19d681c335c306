#include "brimwell/core/snapshots/snapshot_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "brimwell/core/storage/brimwell_json.h"
#include "tests/core/snapshots/snapshot_samples.h"

namespace brimwell {
namespace {

// `text` decoded in place, with the padding the fast path needs.
Result<Snapshot> readPadded(const std::string& text) {
  std::string buffer;
  buffer.reserve(text.size() + SnapshotReader::padding);
  buffer = text;
  return SnapshotReader::decode(buffer, buffer.capacity());
}

TEST(SnapshotReaderTest, AgreesWithTheSharedDecoderOnEveryVariant) {
  const std::string base = *BrimwellJSON::encode(testing::richSnapshot());
  const std::string clip =
      R"("clipboard":{"items":[{"public.utf8-plain-text":"aGkh"}],"totalBytes":3})";
  ASSERT_NE(base.find(clip), std::string::npos);
  const auto with = [&](const std::string& replacement) {
    std::string text = base;
    return text.replace(text.find(clip), clip.size(), replacement);
  };
  const std::string variants[] = {
      base,
      with(R"("clipboard" : { "items" : [ { "a\/b" : "aG\/h" , "b":"" } ] , "totalBytes" : 3 } )"),
      with(R"("clipboard":{"items":[{"t":"aGkh","t":"aGk="}],"totalBytes":3})"),  // last one wins
      with(R"("clipboard":{"items":[{"t":"aGkh"}],"totalBytes":3,"extra":[01]})"),
      with(R"("clipboard":{"items":[{"t":"aGkh"}],"items":[],"totalBytes":3})"),
      with(R"("clipboard":{"items":[{"t":"aGk"}],"totalBytes":3})"),
      with(R"("clipboard":{"items":[{"t":"aGkh"}],"totalBytes":3.0})"),
      with(R"("clipboard":{"items":[{"t":"aGkh"}],"totalBytes":-1})"),
      with(R"("clipboard":{"items":{},"totalBytes":3})"),
      with(R"("clipboard":{"items":[[]],"totalBytes":3})"),
      with(R"("clipboard":{"items":[{"t":"aGkh"}]})"),
      with(R"("clipboard":null)"),
      with(R"("clipboard":{"items":[],"totalBytes":0},"clipboard":{"items":[],"totalBytes":1})"),
      with(R"("clipboard":{"items":[{"t":"aGkh"}],"totalBytes":3},"finder":7)"),
      with(R"("clipboard":{"items":[{"t":"aGkh"}],"totalBytes":3})") + " []",
      with(R"("clipboard":{"items":[{"t":"aG kh"}],"totalBytes":3})"),
      base.substr(0, base.size() - 1),
      // Broken JSON after the clipboard: the error names the byte of the whole file.
      with(clip + R"(,"x":})"),
  };
  for (const std::string& text : variants) {
    const auto shared = BrimwellJSON::decode<Snapshot>(text);
    const auto fast = readPadded(text);
    ASSERT_EQ(fast.has_value(), shared.has_value()) << text;
    if (shared) {
      EXPECT_EQ(*fast, *shared) << text;
    } else {
      EXPECT_EQ(fast.error().message(), shared.error().message()) << text;
    }
    EXPECT_EQ(SnapshotReader::decode(text).has_value(), shared.has_value());  // unpadded input
  }
}

TEST(SnapshotReaderTest, ReadsALargeClipboardExactly) {
  Snapshot snapshot = testing::richSnapshot();
  ClipboardRecord::Bytes bytes(1 << 20);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  snapshot.clipboard = ClipboardRecord({{{"public.png", bytes}, {"public.tiff", {1, 2}}}, {}});
  const auto read = readPadded(*BrimwellJSON::encode(snapshot));
  ASSERT_TRUE(read) << read.error().message();
  EXPECT_EQ(*read, snapshot);
}

}  // namespace
}  // namespace brimwell
