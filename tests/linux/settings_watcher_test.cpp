#include "linux/settings_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

void write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// Runs `context` until `changes` has grown past `count`, or two seconds have passed.
void runUntil(asio::io_context& context, const std::vector<SettingsFileReading>& changes,
              std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (changes.size() < count && std::chrono::steady_clock::now() < deadline) {
    context.run_for(std::chrono::milliseconds(20));
  }
}

// Edits in place, replacement by rename, deletion, and a settings directory that appears only
// after the watch began: each one reaches the owner once, with the settings then in force.
TEST(SettingsWatcherTest, FollowsTheFileThroughEditsRenamesDeletionAndALateDirectory) {
  testing::TempDir dir;
  const auto folder = dir / "config" / "brimwell";
  const auto file = folder / "settings.json";
  asio::io_context context;
  SettingsWatcher watcher(context, file);
  std::vector<SettingsFileReading> changes;
  ASSERT_TRUE(
      watcher.watch([&](const SettingsFileReading& reading) { changes.push_back(reading); }));
  EXPECT_FALSE(std::filesystem::exists(folder));  // watching creates nothing

  std::filesystem::create_directories(folder);
  write(file, R"({"dimTarget":0.2})");
  runUntil(context, changes, 1);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].settings.dimTarget, 0.2);
  EXPECT_EQ(watcher.current(), changes[0]);

  write(folder / ".settings.json.new", R"({"dimTarget":0.3})");
  std::filesystem::rename(folder / ".settings.json.new", file);
  runUntil(context, changes, 2);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1].settings.dimTarget, 0.3);

  write(file, "{");
  runUntil(context, changes, 3);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[2].settings, BrimwellSettings::defaults());
  EXPECT_TRUE(changes[2].problem);
  EXPECT_EQ(testing::readFile(file), "{");  // a bad file is left as the user wrote it

  std::filesystem::remove(file);
  runUntil(context, changes, 4);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[3], (SettingsFileReading{BrimwellSettings::defaults(), false, std::nullopt}));

  // Another file in the directory changes nothing.
  write(folder / "other.json", "{}");
  context.run_for(std::chrono::milliseconds(100));
  EXPECT_EQ(changes.size(), 4u);
}

}  // namespace
}  // namespace brimwell
