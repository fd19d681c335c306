#include "brimwell/core/rescue/rescue_ledger.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "brimwell/core/storage/brimwell_json.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;
using Docs = std::vector<RescuedDocument>;

Date at(const std::string& time) { return *BrimwellJSON::parse("2026-03-01T" + time + "Z"); }

RescuedDocument doc(const std::string& name) {
  return {"com.example.Pages", "Pages", name + " title", "/Rescued/" + name + ".pages"};
}

std::vector<std::string> paths(const Docs& documents) {
  std::vector<std::string> result;
  for (const auto& document : documents) result.push_back(document.path);
  return result;
}

std::vector<RescueLedger::Entry> entries(
    std::initializer_list<std::pair<const char*, const char*>> list) {
  std::vector<RescueLedger::Entry> result;
  for (const auto& [name, time] : list) result.push_back({doc(name), at(time)});
  return result;
}

const auto kEverythingExists = [](const std::string&) { return true; };

TEST(RescueLedgerTest, RecordReplacesSamePathsAndDropsEntriesSixHoursOld) {
  TempDir dir;
  RescueLedger ledger(dir / "ledger.json");
  ASSERT_TRUE(ledger.record({doc("A")}, at("10:00:00")));
  ASSERT_TRUE(ledger.record({doc("B")}, at("12:00:00")));
  EXPECT_EQ(ledger.entries(), entries({{"A", "10:00:00"}, {"B", "12:00:00"}}));

  ASSERT_TRUE(ledger.record({doc("A")}, at("13:00:00")));
  EXPECT_EQ(ledger.entries(), entries({{"B", "12:00:00"}, {"A", "13:00:00"}}));
  EXPECT_EQ(readFile(ledger.url()),
            R"([{"document":{"appBundleID":"com.example.Pages","appName":"Pages",)"
            R"("originalTitle":"B title","path":"/Rescued/B.pages"},)"
            R"("savedAt":"2026-03-01T12:00:00.000Z"},)"
            R"({"document":{"appBundleID":"com.example.Pages","appName":"Pages",)"
            R"("originalTitle":"A title","path":"/Rescued/A.pages"},)"
            R"("savedAt":"2026-03-01T13:00:00.000Z"}])");

  // Newest first; a copy the user deleted is left out of the answer but not out of the file.
  EXPECT_EQ(paths(ledger.recent(at("14:00:00"), kEverythingExists)),
            (std::vector<std::string>{"/Rescued/A.pages", "/Rescued/B.pages"}));
  std::vector<std::string> asked;
  const auto withoutB = [&](const std::string& path) {
    asked.push_back(path);
    return path != "/Rescued/B.pages";
  };
  EXPECT_EQ(paths(ledger.recent(at("14:00:00"), withoutB)),
            (std::vector<std::string>{"/Rescued/A.pages"}));
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(ledger.entries().size(), 2u);

  // B is exactly six hours old at 18:00 and goes; A (five hours) stays.
  ASSERT_TRUE(ledger.record({doc("C")}, at("18:00:00")));
  EXPECT_EQ(ledger.entries(), entries({{"A", "13:00:00"}, {"C", "18:00:00"}}));
}

TEST(RescueLedgerTest, RecentHonoursTheAgeLimitAndTheOneMinuteFutureAllowance) {
  TempDir dir;
  RescueLedger ledger(dir / "ledger.json");
  ASSERT_TRUE(ledger.record({doc("A")}, at("14:02:00")));
  struct Case {
    const char* now;
    bool returned;
  } cases[] = {
      {"14:00:00", false}, {"14:00:59.999", false}, {"14:01:00", true},  {"14:01:30", true},
      {"14:02:00", true},  {"20:01:59.999", true},  {"20:02:00", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ledger.recent(at(c.now), kEverythingExists).size(), c.returned ? 1u : 0u) << c.now;
  }
  // Recording earlier than an entry keeps it: its age is negative, not old.
  ASSERT_TRUE(ledger.record({doc("B")}, at("09:00:00")));
  EXPECT_EQ(ledger.entries(), entries({{"A", "14:02:00"}, {"B", "09:00:00"}}));
}

TEST(RescueLedgerTest, DamagedFilesReadAsEmptyAndAreReplacedByRecord) {
  const char* damaged[] = {
      "{}",
      "",
      "[{\"document\":",
      R"([{"document":{"appBundleID":"x","appName":"X","originalTitle":"t","path":"/p"}}])",
      R"([{"document":{"appBundleID":"x","appName":"X","path":"/p"},"savedAt":"2026-03-01T10:00:00Z"}])",
      R"([{"document":{"appBundleID":"x","appName":"X","originalTitle":"t","path":"/p"},"savedAt":"noon"}])",
  };
  for (const char* text : damaged) {
    TempDir dir;
    RescueLedger ledger(dir / "ledger.json");
    writeFile(ledger.url(), text);
    EXPECT_TRUE(ledger.entries().empty()) << text;
    EXPECT_TRUE(ledger.recent(at("10:00:00"), kEverythingExists).empty()) << text;
    ASSERT_TRUE(ledger.record({doc("A")}, at("10:00:00"))) << text;
    EXPECT_EQ(ledger.entries(), entries({{"A", "10:00:00"}})) << text;
  }
}

TEST(RescueLedgerTest, AFailedWriteReportsFalseAndLeavesNoTemporaryFile) {
  TempDir dir;
  RescueLedger ledger(dir / "ledger.json");
  std::filesystem::create_directory(ledger.url());  // the target can't be replaced by a file
  EXPECT_FALSE(ledger.record({doc("A")}, at("10:00:00")));
  EXPECT_EQ(dir.names(), std::vector<std::string>{"ledger.json"});
  EXPECT_TRUE(std::filesystem::is_directory(ledger.url()));
}

TEST(RescueLedgerTest, MergedKeepsTheFirstDocumentForEachPath) {
  RescuedDocument laterB = doc("B");
  laterB.appName = "Other";
  const Docs first{doc("A"), doc("B")}, second{laterB, doc("C")};
  const Docs expected{doc("A"), doc("B"), doc("C")};
  EXPECT_EQ(RescueLedger::merged(first, second), expected);
  EXPECT_EQ(RescueLedger::merged({first, second}), expected);
  EXPECT_EQ(RescueLedger::merged(second, first), (Docs{laterB, doc("C"), doc("A")}));
  EXPECT_TRUE(RescueLedger::merged(Docs{}, Docs{}).empty());
}

TEST(RescueLedgerTest, RecordingNothingAndClearingLeaveNoFile) {
  TempDir dir;
  RescueLedger ledger(BrimwellPaths::standard(dir.path()));
  EXPECT_EQ(ledger.url(), dir / "Library/Application Support/Brimwell/rescue-ledger.json");
  EXPECT_TRUE(ledger.record({}, at("10:00:00")));
  EXPECT_FALSE(std::filesystem::exists(ledger.url()));
  ledger.clear();  // a missing file is no error
  ASSERT_TRUE(ledger.record({doc("A"), doc("B")}, at("10:00:00")));
  ledger.clear();
  EXPECT_FALSE(std::filesystem::exists(ledger.url()));
  EXPECT_TRUE(ledger.entries().empty());
  EXPECT_TRUE(ledger.recent(at("10:00:00"), kEverythingExists).empty());
}

TEST(RescueLedgerTest, FileExistsRunsWhileOtherCallsCanTakeTheLock) {
  TempDir dir;
  RescueLedger ledger(dir / "ledger.json");
  ASSERT_TRUE(ledger.record({doc("A")}, at("10:00:00")));
  std::vector<std::future<std::size_t>> lookups;
  bool answeredInTime = true;
  const auto exists = [&](const std::string&) {
    // Another thread reads the ledger; if the lock were held it would wait until recent returns.
    lookups.push_back(std::async(std::launch::async, [&] { return ledger.entries().size(); }));
    answeredInTime = answeredInTime &&
                     lookups.back().wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    return true;
  };
  EXPECT_EQ(ledger.recent(at("10:00:00"), exists).size(), 1u);
  ASSERT_EQ(lookups.size(), 1u);
  EXPECT_TRUE(answeredInTime);
  EXPECT_EQ(lookups.front().get(), 1u);
}

TEST(RescueLedgerTest, ConcurrentRecordsOnOneLedgerLoseNothing) {
  TempDir dir;
  RescueLedger ledger(dir / "ledger.json");
  constexpr int kPerThread = 15;
  auto recordMany = [&](const std::string& prefix) {
    for (int i = 0; i < kPerThread; ++i) {
      EXPECT_TRUE(ledger.record({doc(prefix + std::to_string(i))}, at("10:00:00")));
    }
  };
  std::thread first(recordMany, "x"), second(recordMany, "y");
  first.join();
  second.join();
  EXPECT_EQ(ledger.entries().size(), 2u * kPerThread);
}

}  // namespace
}  // namespace brimwell
