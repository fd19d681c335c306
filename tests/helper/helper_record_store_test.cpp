#include "helper/helper_record_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

namespace fs = std::filesystem;

class HelperRecordStoreTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::string path = (dir / "Brimwell/helper-state.json").string();
  HelperRecordStore store{path, ::geteuid()};

  void write(const std::string& text, mode_t mode) {
    fs::create_directories(fs::path(path).parent_path());
    testing::writeFile(path, text);
    ::chmod(path.c_str(), mode);
  }
};

TEST_F(HelperRecordStoreTest, SavesPrivateFilesWithOnlyThePresentKeysAndTheEmptyRecordDeletes) {
  ASSERT_TRUE(store.save({}));  // nothing to delete yet
  EXPECT_FALSE(fs::exists(path));

  ASSERT_TRUE(store.save({std::nullopt, false}));
  EXPECT_EQ(testing::readFile(path), R"({"batteryLowPowerModeToRestore":false})");
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(store.load(), (HelperRecord{std::nullopt, false}));

  ASSERT_TRUE(store.save({3, false}));
  EXPECT_EQ(store.load(), (HelperRecord{3, false}));
  ASSERT_TRUE(store.save({}));
  EXPECT_FALSE(fs::exists(path));
  // No temporary file is left behind.
  EXPECT_TRUE(fs::is_empty(fs::path(path).parent_path()));
}

TEST_F(HelperRecordStoreTest, LoadTreatsUntrustedOrUndecodableFilesAsNoRecord) {
  struct Row {
    const char* text;
    mode_t mode;
    HelperRecord expected;
  };
  const Row rows[] = {
      {R"({"hibernateModeToRestore":3})", 0600, {3, std::nullopt}},
      {R"({"hibernateModeToRestore":3,"batteryLowPowerModeToRestore":null,"x":1})", 0600, {3, {}}},
      {R"({"hibernateModeToRestore":3})", 0644, {}},
      {R"({"hibernateModeToRestore":3})", 0640, {}},
      {"{}", 0600, {}},
      {R"({"hibernateModeToRestore":"3"})", 0600, {}},
      {R"({"hibernateModeToRestore":3.5})", 0600, {}},
      {R"({"batteryLowPowerModeToRestore":0})", 0600, {}},
      {"[3]", 0600, {}},
      {"not json", 0600, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    write(row.text, row.mode);
    EXPECT_EQ(store.load(), row.expected);
  }
  write(R"({"hibernateModeToRestore":3})", 0600);
  EXPECT_EQ(HelperRecordStore(path, ::geteuid() + 1).load(), HelperRecord{});
}

TEST_F(HelperRecordStoreTest, ASymbolicLinkIsNeitherTrustedNorFollowedOnSave) {
  const std::string target = (dir / "target.json").string();
  testing::writeFile(target, R"({"hibernateModeToRestore":0})");
  ::chmod(target.c_str(), 0600);
  fs::create_directories(fs::path(path).parent_path());
  fs::create_symlink(target, path);
  EXPECT_EQ(store.load(), HelperRecord{});
  ASSERT_TRUE(store.save({25, std::nullopt}));
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_EQ(store.load(), (HelperRecord{25, std::nullopt}));
  EXPECT_EQ(testing::readFile(target), R"({"hibernateModeToRestore":0})");
}

TEST_F(HelperRecordStoreTest, FailuresNameTheStepAndErrorNumberAndKeepTheOldRecord) {
  // The parent of the record's directory is missing: mkdir fails with ENOENT.
  HelperRecordStore deep((dir / "missing/Brimwell/helper-state.json").string(), ::geteuid());
  auto saved = deep.save({3, std::nullopt});
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().describe(), "couldNotWrite(\"mkdir: " + std::to_string(ENOENT) + "\")");

  // The record's place is taken by a directory: the rename fails and the directory stays.
  fs::create_directories(path + "/occupied");
  saved = store.save({3, std::nullopt});
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error(), HelperRecordError{"write: " + std::to_string(EISDIR)});
  saved = store.save({});
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().couldNotWrite.rfind("unlink: ", 0), 0u);
  EXPECT_EQ(fs::directory_iterator(fs::path(path).parent_path())->path(), path);
}

TEST_F(HelperRecordStoreTest, ADirectoryOthersMayWriteIsNotTrustedAndAFifoDoesNotHang) {
  ASSERT_TRUE(store.save({25, std::nullopt}));
  const std::string directory = fs::path(path).parent_path().string();
  for (mode_t mode : {0775, 0757}) {
    SCOPED_TRACE(mode);
    ::chmod(directory.c_str(), mode);
    EXPECT_EQ(store.load(), HelperRecord{});
    auto saved = store.save({3, std::nullopt});
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error(), HelperRecordError{"open: " + std::to_string(EPERM)});
  }
  ::chmod(directory.c_str(), 0755);
  EXPECT_EQ(store.load(), (HelperRecord{25, std::nullopt}));  // the refused saves changed nothing

  fs::remove(path);
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(store.load(), HelperRecord{});
}

}  // namespace
}  // namespace brimwell
