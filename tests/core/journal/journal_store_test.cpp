#include "brimwell/core/journal/journal_store.h"

#include <gtest/gtest.h>
#include <vector>

#include "brimwell/core/storage/brimwell_json.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

Journal sample() {
  Journal journal;
  journal.heartbeat =
      *BrimwellJSON::parse("2026-03-01T14:05:09.250Z") + std::chrono::microseconds(400);
  journal.phase = Phase::ready;
  journal.bootSessionUUID = "boot";
  journal.appVersion = "1.0";
  return journal;
}

TEST(JournalStoreTest, ReadsBackWhatItWroteAtMillisecondPrecision) {
  TempDir dir;
  JournalStore store(BrimwellPaths::standard(dir.path()));
  EXPECT_EQ(store.url(), dir / "Library/Application Support/Brimwell/journal.json");
  EXPECT_EQ(store.read(), std::nullopt);
  ASSERT_TRUE(store.write(sample()));
  auto expected = sample();
  expected.heartbeat = *BrimwellJSON::parse("2026-03-01T14:05:09.250Z");
  EXPECT_EQ(store.read(), expected);
}

TEST(JournalStoreTest, ADamagedFileReadsAsNoneAndIsReplacedByTheNextWrite) {
  TempDir dir;
  JournalStore store(BrimwellPaths{dir.path(), dir / "rescued"});
  for (const char* damaged : {"{}", "{\"heartbeat\":", "[]", ""}) {
    writeFile(store.url(), damaged);
    EXPECT_EQ(store.read(), std::nullopt) << damaged;
    EXPECT_EQ(readFile(store.url()), damaged);
  }
  ASSERT_TRUE(store.write(sample()));
  EXPECT_TRUE(store.read().has_value());
}

TEST(JournalStoreTest, TheObserverHearsOnlyOfSuccessfulWrites) {
  TempDir dir;
  JournalStore store(BrimwellPaths{dir.path(), dir / "rescued"});
  std::vector<Journal> heard;
  store.setObserver([&](const Journal& journal) { heard.push_back(journal); });
  ASSERT_TRUE(store.write(sample()));
  ASSERT_EQ(heard.size(), 1u);

  // A write that fails (the target has become a directory) is heard by nobody.
  std::filesystem::remove(store.url());
  std::filesystem::create_directory(store.url());
  EXPECT_FALSE(store.write(sample()));
  EXPECT_EQ(heard.size(), 1u);
}

}  // namespace
}  // namespace brimwell
