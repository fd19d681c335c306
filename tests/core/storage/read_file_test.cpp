#include "brimwell/core/storage/read_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "brimwell/core/helper/power_saver_record.h"
#include "brimwell/core/journal/journal_store.h"
#include "brimwell/core/rescue/rescue_ledger.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

// readFile refuses a file over the limit; readFileHead reads its first bytes. Both refuse what
// isn't a regular file the same way.
TEST(ReadFileTest, ReadsOnlyRegularFilesUpToTheLimit) {
  testing::TempDir dir;
  const auto fifo = dir / "fifo", at = dir / "at", over = dir / "over";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  testing::writeFile(at, std::string(1000, 'a'));
  testing::writeFile(over, std::string(999, 'a') + std::string(70000, 'b'));
  const struct {
    std::filesystem::path path;
    int code;      // readFile's: 0 when it reads
    bool headCut;  // readFileHead reads 1000 bytes where readFile refuses
    std::string sentence;
  } cases[] = {
      {at, 0, false, ""},
      {over, EFBIG, true, "The file " + over.string() + " holds more than 1000 bytes."},
      {fifo, EINVAL, false, "The file " + fifo.string() + " isn't a regular file."},
      {dir.path(), EINVAL, false, "The file " + dir.path().string() + " isn't a regular file."},
      {"/dev/zero", EINVAL, false, "The file /dev/zero isn't a regular file."},
      {dir / "missing", ENOENT, false, "No such file or directory"},
  };
  for (const auto& c : cases) {
    const auto whole = brimwell::readFile(c.path, 1000);
    const auto head = readFileHead(c.path, 1000);
    ASSERT_EQ(whole.has_value(), c.code == 0) << c.path;
    ASSERT_EQ(head.has_value(), c.code == 0 || c.headCut) << c.path;
    if (head) {
      EXPECT_EQ(*head, c.headCut ? std::string(999, 'a') + "b" : std::string(1000, 'a'));
    }
    if (whole) {
      EXPECT_EQ(*whole, *head);
      continue;
    }
    EXPECT_EQ(whole.error().code(), c.code) << c.path;
    EXPECT_EQ(whole.error().message(), c.sentence);
    EXPECT_EQ(isRefusedFile(whole.error()), c.code != ENOENT);
    if (!head) {
      EXPECT_EQ(head.error().message(), c.sentence);
    }
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
