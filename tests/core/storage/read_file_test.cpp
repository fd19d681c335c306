#include "brimwell/core/storage/read_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "brimwell/core/helper/power_saver_record.h"
#include "brimwell/core/journal/journal_store.h"
#include "brimwell/core/rescue/rescue_ledger.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

TEST(ReadFileTest, ReadsOnlyRegularFilesUpToTheLimit) {
  testing::TempDir dir;
  const auto fifo = dir / "fifo", at = dir / "at", over = dir / "over";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  testing::writeFile(at, std::string(1000, 'a'));
  testing::writeFile(over, std::string(1001, 'a'));
  const struct {
    std::filesystem::path path;
    int code;  // 0: read
    std::string sentence;
  } cases[] = {
      {at, 0, ""},
      {over, EFBIG, "The file " + over.string() + " holds more than 1000 bytes."},
      {fifo, EINVAL, "The file " + fifo.string() + " isn't a regular file."},
      {dir.path(), EINVAL, "The file " + dir.path().string() + " isn't a regular file."},
      {"/dev/zero", EINVAL, "The file /dev/zero isn't a regular file."},
      {dir / "missing", ENOENT, "No such file or directory"},
  };
  for (const auto& c : cases) {
    const auto bytes = readFile(c.path, 1000);
    ASSERT_EQ(bytes.has_value(), c.code == 0) << c.path;
    if (bytes) {
      EXPECT_EQ(bytes->size(), 1000u);
      continue;
    }
    EXPECT_EQ(bytes.error().code(), c.code) << c.path;
    EXPECT_EQ(bytes.error().message(), c.sentence);
    EXPECT_EQ(isRefusedFile(bytes.error()), c.code != ENOENT);
  }
  EXPECT_EQ(sizeInWords(kSmallFileLimit), "1 MiB");
  EXPECT_EQ(sizeInWords(kSnapshotFileLimit), "256 MiB");
}

// Every store reads a state file that a hostile hand replaced as unreadable: at once, and
// without reading it whole.
TEST(ReadFileTest, StoresReadFifosAndHugeFilesAsAbsent) {
  testing::TempDir dir;
  const BrimwellPaths paths{dir.path(), dir / "Rescued"};
  for (const bool fifo : {true, false}) {
    for (const auto& file : {paths.journal(), paths.rescueLedger(), paths.powerSaverRecord()}) {
      std::filesystem::remove(file);
      if (fifo) {
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
      } else {
        testing::writeFile(file, "[]");
        std::filesystem::resize_file(file, std::uintmax_t{3} << 30);  // sparse
      }
    }
    EXPECT_EQ(JournalStore(paths).read(), std::nullopt);
    EXPECT_TRUE(RescueLedger(paths).entries().empty());
    EXPECT_EQ(PowerSaverRecord::load(paths.powerSaverRecord()), std::nullopt);
  }
}

}  // namespace
}  // namespace brimwell
