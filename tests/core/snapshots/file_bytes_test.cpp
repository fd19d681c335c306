#include "brimwell/core/snapshots/file_bytes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "brimwell/core/storage/read_file.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

// A snapshot's name can stand for something that isn't an ordinary file by the time it is read:
// neither way of reading may wait on it or take all memory.
TEST(FileBytesTest, RefusesWhatIsNotARegularFileOfAtMostTheLimit) {
  testing::TempDir dir;
  const auto fifo = dir / "fifo.json", huge = dir / "huge.json", plain = dir / "plain.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  testing::writeFile(huge, "{}");
  std::filesystem::resize_file(huge, kSnapshotFileLimit + 1);  // sparse: no disk is used
  testing::writeFile(plain, R"({"a":")" + std::string(1000, 'x') + R"("})");
  for (const auto& path : {fifo, huge, std::filesystem::path("/dev/zero")}) {
    EXPECT_EQ(FileBytes::read(path), std::nullopt) << path;
    EXPECT_EQ(FileBytes::readSkippingLongStrings(path, 100), std::nullopt) << path;
  }
  EXPECT_EQ(FileBytes::read(plain)->size, 1008u);
  EXPECT_EQ(FileBytes::readSkippingLongStrings(plain, 100)->view(), R"({"a":"\_"})");
}

}  // namespace
}  // namespace brimwell
