#include "brimwell/core/snapshots/snapshot_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>

#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "tests/core/snapshots/snapshot_samples.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using testing::readFile;
using testing::writeFile;

class SnapshotStoreTest : public ::testing::Test {
 protected:
  SnapshotStoreTest() : store(BrimwellPaths{dir.path() / "Support", dir.path() / "Rescued"}) {}

  fs::path fileOf(const std::string& id) const { return store.folder() / (id + ".json"); }

  // Writes a snapshot file for the instant `at` directly, without the atomic writer.
  std::string put(Date at, CaptureTrigger trigger = CaptureTrigger::watch) {
    Snapshot snapshot = testing::emptySnapshot(at);
    snapshot.meta.trigger = trigger;
    fs::create_directories(store.folder());
    writeFile(fileOf(snapshot.id), *BrimwellJSON::encode(snapshot));
    return snapshot.id;
  }

  static void setModified(const fs::path& path, Date when) {
    const auto nanos = when.time_since_epoch().count();
    const timespec times[2] = {{nanos / 1'000'000'000, nanos % 1'000'000'000},
                               {nanos / 1'000'000'000, nanos % 1'000'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  }

  testing::TempDir dir;
  SnapshotStore store;
  const Date now = testing::sampleInstant();
};

TEST_F(SnapshotStoreTest, RefusesAnInvalidIdentifierWithoutWriting) {
  Snapshot snapshot = testing::emptySnapshot();
  snapshot.id = "latest";
  const auto saved = store.save(snapshot);
  ASSERT_FALSE(saved);
  ASSERT_NE(saved.error().storeError(), nullptr);
  EXPECT_EQ(*saved.error().storeError(), SnapshotStoreError::invalidID("latest"));
  EXPECT_EQ(saved.error().message(), "\"latest\" is not a snapshot identifier.");
  EXPECT_FALSE(fs::exists(store.folder()));
}

TEST_F(SnapshotStoreTest, AFailedWriteReportsTheSystemsSentenceAndKeepsTheOldFile) {
  testing::FaultyFileSystem faulty;
  SnapshotStore failing(BrimwellPaths{dir.path() / "Support", {}}, faulty);
  Snapshot snapshot = testing::emptySnapshot();
  ASSERT_TRUE(failing.save(snapshot));
  const std::string before = readFile(fileOf(snapshot.id));

  faulty.bytesBeforeDiskFull = 10;
  snapshot.meta.hostModel = "Other";
  const auto saved = failing.save(snapshot);
  ASSERT_FALSE(saved);
  ASSERT_NE(saved.error().fileError(), nullptr);
  EXPECT_EQ(saved.error().fileError()->code(), ENOSPC);
  EXPECT_EQ(saved.error().message(), Error::posix(ENOSPC).message());
  EXPECT_EQ(readFile(fileOf(snapshot.id)), before);
  EXPECT_EQ(dir.names(store.folder()), std::vector{snapshot.id + ".json"});
}

TEST_F(SnapshotStoreTest, MissingFolderReadsEmptyAndTheFirstSaveCreatesIt) {
  EXPECT_TRUE(store.ids().empty());
  EXPECT_TRUE(store.summaries().empty());
  EXPECT_TRUE(store.prune(now, {}).empty());
  EXPECT_EQ(store.latest(), std::nullopt);
  EXPECT_EQ(store.latestSummary(), std::nullopt);

  const Snapshot older = testing::richSnapshot(now - hours(1)), newer = testing::emptySnapshot();
  ASSERT_TRUE(store.save(older));
  ASSERT_TRUE(store.save(newer));
  EXPECT_EQ(store.ids(), (std::vector{newer.id, older.id}));
  EXPECT_EQ(store.load(older.id), older);
  EXPECT_EQ(store.latest(), newer);
  EXPECT_TRUE(store.contains(older.id));
  EXPECT_FALSE(store.contains("20990101T000000.000Z"));
  EXPECT_EQ(store.summaries(), (std::vector{SnapshotSummary(newer), SnapshotSummary(older)}));
  EXPECT_EQ(store.latestSummary(), SnapshotSummary(newer));
}

TEST_F(SnapshotStoreTest, TheFileNameWinsOverTheStoredIdentifier) {
  const std::string id = put(now);
  const std::string other = "20200101T000000.000Z";
  fs::rename(fileOf(id), fileOf(other));
  EXPECT_EQ(store.load(other)->id, other);
  EXPECT_EQ(store.latestSummary()->id, other);
}

TEST_F(SnapshotStoreTest, LookAlikesAreIgnored) {
  const std::string real = put(now - hours(100));
  fs::create_directories(store.folder() / "20260301T140509.999Z.json");  // a directory
  fs::create_symlink(fileOf(real), store.folder() / "20260301T140509.998Z.json");
  writeFile(store.folder() / "20260301T140509.250Z.json.bak", "{}");
  writeFile(store.folder() / "notes.json", "{}");
  writeFile(store.folder() / "20260301T140509.250Z-1.json", "{}");
  EXPECT_EQ(store.ids(), std::vector{real});
  EXPECT_EQ(store.latest()->id, real);
  EXPECT_FALSE(store.contains("20260301T140509.999Z"));
  EXPECT_FALSE(store.contains("20260301T140509.998Z"));
  for (int i = 0; i < 30; ++i) put(now - minutes(i));  // push the look-alikes beyond the newest 30
  EXPECT_EQ(store.prune(now, {}), std::vector{real});
  EXPECT_EQ(dir.names(store.folder()).size(), 30u + 5u);
}

TEST_F(SnapshotStoreTest, PruneKeepsTheNewestThirtyAndAnythingYoungerThanTwoDays) {
  std::vector<std::string> young;
  for (int i = 0; i < 40; ++i) young.push_back(put(now - hours(47) - minutes(i)));
  EXPECT_TRUE(store.prune(now, {}).empty());
  for (const auto& id : young) fs::remove(fileOf(id));

  std::vector<std::string> old;  // newest first
  for (int i = 0; i < 40; ++i) old.push_back(put(now - hours(72) - minutes(i)));
  EXPECT_EQ(store.prune(now, {}), std::vector<std::string>(old.begin() + 30, old.end()));
  EXPECT_EQ(store.ids(), std::vector<std::string>(old.begin(), old.begin() + 30));

  for (int i = 30; i < 40; ++i) put(now - hours(72) - minutes(i));
  std::vector<std::string> expected(old.begin() + 30, old.end());
  expected.erase(expected.begin() + 4);  // the 35th newest is protected
  EXPECT_EQ(store.prune(now, {old[34]}), expected);
  EXPECT_EQ(store.ids().size(), 31u);
}

TEST_F(SnapshotStoreTest, PruneBoundaryIsExactlyFortyEightHours) {
  for (int i = 0; i < 30; ++i) put(now - minutes(i));
  const std::string exactly = put(now - hours(48));
  const std::string almost = put(now - hours(47) - minutes(59));
  EXPECT_EQ(store.prune(now, {}), std::vector{exactly});
  EXPECT_TRUE(store.contains(almost));

  SnapshotStore fresh(BrimwellPaths{dir.path() / "Other", {}});
  EXPECT_TRUE(fresh.prune(now, {}).empty());
}

TEST_F(SnapshotStoreTest, RemovesOnlyOldLeftoversOfTheAtomicWriter) {
  fs::create_directories(store.folder());
  const std::string uuid = "6F9619FF-8B86-D011-B42D-00C04FC964FF";
  const struct {
    std::string name;
    Date modified;
    bool removed;
  } cases[] = {
      {".20260301T140509.250Z.json." + uuid + ".tmp", now - minutes(61), true},
      {".20260301T140509.251Z.json." + uuid + ".tmp", now - minutes(59), false},
      {".20260301T140509.252Z.json." + uuid + ".tmp", now - seconds(3600), false},
      {".20260301T140509.253Z.json." + uuid.substr(1) + ".tmp", now - hours(5), false},
      {".journal.json." + uuid + ".tmp", now - hours(5), false},
      {"20260301T140509.254Z.json." + uuid + ".tmp", now - hours(5), false},
  };
  for (const auto& c : cases) {
    writeFile(store.folder() / c.name, "partial");
    setModified(store.folder() / c.name, c.modified);
  }
  EXPECT_EQ(store.removeLeftoverTempFiles(now), std::vector{cases[0].name});
  for (const auto& c : cases) EXPECT_EQ(fs::exists(store.folder() / c.name), !c.removed) << c.name;
  setModified(store.folder() / cases[1].name, now - minutes(61));
  store.prune(now, {});
  EXPECT_FALSE(fs::exists(store.folder() / cases[1].name));
}

TEST_F(SnapshotStoreTest, UndecodableFilesAreSetAsideUnlessANewerSchemaWroteThem) {
  const std::string id = put(now);
  const fs::path corrupt = store.corruptFolder();
  for (const char* content : {R"({"schema":1,"meta":7})", "not json", R"({"schema":0})"}) {
    writeFile(fileOf(id), content);
    EXPECT_EQ(store.latest(), std::nullopt);
    EXPECT_FALSE(fs::exists(fileOf(id)));
  }
  EXPECT_EQ(readFile(corrupt / (id + ".json")), R"({"schema":1,"meta":7})");
  EXPECT_EQ(readFile(corrupt / (id + "-1.json")), "not json");
  EXPECT_EQ(readFile(corrupt / (id + "-2.json")), R"({"schema":0})");

  writeFile(fileOf(id), R"({"schema":2,"future":true})");
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(store.latest(), std::nullopt);
    EXPECT_EQ(store.summaries().size(), 0u);
    EXPECT_EQ(store.load(id), std::nullopt);
    EXPECT_TRUE(fs::exists(fileOf(id)));
  }
  // The summary path sets aside what the probe can't read.
  const std::string other = put(now - hours(1));
  writeFile(fileOf(other), R"({"schema":1,"meta":{}})");
  EXPECT_EQ(store.latestSummary(), std::nullopt);
  EXPECT_TRUE(fs::exists(corrupt / (other + ".json")));
}

// The probe reads files with long strings left out; what it reads from them must not change.
TEST_F(SnapshotStoreTest, SummariesOfFilesWithLongStringsEqualTheFullSnapshots) {
  const std::string longPath = "/Users/ann/" + std::string(100'000, 'p');
  std::vector<std::uint8_t> clipboard(200'000);
  for (std::size_t i = 0; i < clipboard.size(); ++i) clipboard[i] = static_cast<std::uint8_t>(i);
  const struct {
    const char* what;
    std::function<void(Snapshot&)> change;
  } cases[] = {
      {"a large clipboard",
       [&](Snapshot& s) {
         s.clipboard = ClipboardRecord({{{"x", clipboard}}});
       }},
      {"a long document URL the probe reads",
       [&](Snapshot& s) { s.apps[0].windows[0].documentURL = "file://" + longPath; }},
      {"a long rescued path the probe reads", [&](Snapshot& s) { s.rescued[0].path = longPath; }},
      {"a long title that isn't ASCII",
       [&](Snapshot& s) { s.apps[0].windows[0].title = longPath + "\u00e9"; }},
  };
  for (const auto& c : cases) {
    Snapshot snapshot = testing::richSnapshot(now);
    c.change(snapshot);
    ASSERT_TRUE(store.save(snapshot)) << c.what;
    SnapshotStore cold(BrimwellPaths{dir.path() / "Support", dir.path() / "Rescued"});
    EXPECT_EQ(cold.summaries(), std::vector{SnapshotSummary(*store.load(snapshot.id))}) << c.what;
  }

  // A failure is judged on the whole file: one from a newer schema is spared, others set aside.
  Snapshot snapshot = testing::richSnapshot(now);
  snapshot.clipboard = ClipboardRecord({{{"x", clipboard}}});
  std::string text = *BrimwellJSON::encode(snapshot);
  text.replace(text.find("\"watch\""), 7, "\"often\"");
  for (const bool newer : {true, false}) {
    if (newer)
      text.replace(text.find("\"schema\":1"), 10, "\"schema\":2");
    else
      text.replace(text.find("\"schema\":2"), 10, "\"schema\":1");
    writeFile(fileOf(snapshot.id), text);
    EXPECT_EQ(store.summaries().size(), 0u);
    EXPECT_EQ(fs::exists(fileOf(snapshot.id)), newer);
  }
  EXPECT_EQ(readFile(store.corruptFolder() / (snapshot.id + ".json")), text);

  // Text that isn't JSON is found wherever it lies: in a short title, or inside the long string
  // the reading leaves out.
  const std::string encoded = *BrimwellJSON::encode(snapshot);
  const std::size_t base64 = encoded.find("AAEC");
  for (const auto& [at, insert] : {std::pair{encoded.find("\"title\":\"") + 9, "\\q"},
                                   std::pair{base64 + 1000, "\\q"}, std::pair{base64 + 5, "\\"}}) {
    std::string broken = encoded;
    broken.insert(at, insert);
    writeFile(fileOf(snapshot.id), broken);
    EXPECT_EQ(store.summaries().size(), 0u) << insert;
    EXPECT_FALSE(fs::exists(fileOf(snapshot.id)));
  }
}

TEST_F(SnapshotStoreTest, CachedSummaryFollowsSizeAndModificationTime) {
  const std::string id = put(now, CaptureTrigger::ready);
  const Date stamp = now - hours(2) + nanoseconds(123);
  setModified(fileOf(id), stamp);
  ASSERT_EQ(store.summaries().at(0).trigger, CaptureTrigger::ready);

  put(now, CaptureTrigger::drill);  // same size, other content
  setModified(fileOf(id), stamp);
  EXPECT_EQ(store.latestSummary()->trigger, CaptureTrigger::ready);  // served from the cache

  setModified(fileOf(id), stamp + nanoseconds(1));
  EXPECT_EQ(store.latestSummary()->trigger, CaptureTrigger::drill);

  put(now, CaptureTrigger::manual);  // one byte longer, same time
  setModified(fileOf(id), stamp + nanoseconds(1));
  EXPECT_EQ(store.summaries().at(0).trigger, CaptureTrigger::manual);

  Snapshot saved = testing::emptySnapshot(now);  // save drops the entry whatever the time
  saved.meta.trigger = CaptureTrigger::watch;
  ASSERT_TRUE(store.save(saved));
  setModified(fileOf(id), stamp + nanoseconds(1));
  EXPECT_EQ(store.latestSummary()->trigger, CaptureTrigger::watch);
}

TEST_F(SnapshotStoreTest, RemoveSnapshotFileOnlyInsideTheSnapshotFolder) {
  const std::string id = put(now);
  fs::create_directories(dir.path() / "Elsewhere");
  writeFile(dir.path() / "Elsewhere" / (id + ".json"), "{}");
  fs::create_directories(store.folder() / "Sub");
  fs::create_symlink(store.folder(), dir.path() / "Link");

  EXPECT_FALSE(store.removeSnapshotFile(dir.path() / "Elsewhere" / (id + ".json")));
  EXPECT_FALSE(store.removeSnapshotFile(store.folder() / "Sub" / ".." / (id + ".json")));
  EXPECT_FALSE(store.removeSnapshotFile(store.folder() / "notes.json"));
  EXPECT_TRUE(fs::exists(fileOf(id)));
  EXPECT_TRUE(store.removeSnapshotFile(dir.path() / "Link" / (id + ".json")));  // link resolved
  EXPECT_FALSE(fs::exists(fileOf(id)));
  EXPECT_FALSE(store.removeSnapshotFile(fileOf(id)));
}

}  // namespace
}  // namespace brimwell
