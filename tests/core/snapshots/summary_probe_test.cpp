#include "brimwell/core/snapshots/summary_probe.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "brimwell/core/storage/brimwell_json.h"
#include "tests/core/snapshots/skimmed.h"
#include "tests/core/snapshots/snapshot_samples.h"

namespace brimwell {
namespace {

const std::string kID = "20300101T000000.000Z";

std::optional<SnapshotSummary> probed(const std::string& text) {
  auto probe = SummaryProbe::decode(text);
  if (!probe) return std::nullopt;
  return probe->summary(kID);
}

TEST(SummaryProbeTest, MatchesTheFullSummaryAndTakesTheGivenIdentifier) {
  const std::string text = *BrimwellJSON::encode(testing::richSnapshot());
  Snapshot full = *BrimwellJSON::decode<Snapshot>(text);
  full.id = kID;
  EXPECT_EQ(probed(text), SnapshotSummary(full));
  EXPECT_EQ(probed(text),
            SnapshotSummary(kID, testing::sampleInstant(), CaptureTrigger::watch, 2, 5, 2, 1));
}

// A minimal document the probe reads, with `extra` spliced in before the closing brace.
std::string minimal(const std::string& meta, const std::string& apps, const std::string& browsers,
                    const std::string& rescued = R"("rescued":[])") {
  return R"({"id":"ignored",)" + meta + "," + apps + "," + browsers + "," + rescued + "}";
}
const std::string kMeta = R"("meta":{"createdAt":"2026-03-01T14:05:09Z","trigger":"drill"})";

TEST(SummaryProbeTest, FollowsItsOwnAcceptanceRules) {
  const std::string noBrowsers = R"("browsers":[])", noApps = R"("apps":[])";
  const struct {
    std::string text;
    std::optional<int> tabs;  // nothing when the probe must fail
    int documents = 0;
  } cases[] = {
      {minimal(kMeta, noApps, R"("browsers":[{"windows":[{"tabs":[7,"x",{}]}]}])"), 3},
      {minimal(kMeta, R"("apps":[{"windows":[{"documentURL":null},{}]}])", noBrowsers), 0},
      {minimal(kMeta, R"("apps":[{"windows":[{"documentURL":"file:///a%20b"}]}])", noBrowsers), 0,
       1},
      {minimal(kMeta, R"("apps":[{"windows":[{"documentURL":7}]}])", noBrowsers), std::nullopt},
      {minimal(kMeta, R"("apps":[{"name":"x"}])", noBrowsers), std::nullopt},  // no windows
      {minimal(kMeta, R"("apps":{})", noBrowsers), std::nullopt},
      {minimal(kMeta, noApps, R"("browsers":[{"windows":[{"tabs":{}}]}])"), std::nullopt},
      {minimal(kMeta, noApps, noBrowsers, R"("rescuedX":[])"), std::nullopt},
      {minimal(kMeta, noApps, noBrowsers, R"("rescued":[{"appName":"x"}])"), std::nullopt},
      {minimal(R"("meta":{"createdAt":"2026-03-01T14:05:09Z","trigger":"often"})", noApps,
               noBrowsers),
       std::nullopt},
      {minimal(R"("meta":{"createdAt":"soon","trigger":"drill"})", noApps, noBrowsers),
       std::nullopt},
      {minimal(R"("meta":{"trigger":"drill"})", noApps, noBrowsers), std::nullopt},
      {minimal(kMeta, noApps, noBrowsers) + " x", std::nullopt},  // trailing text
      {minimal(kMeta, noApps, noBrowsers).substr(1), std::nullopt},
      // Skipped parts are not read: a malformed clipboard still summarises.
      {minimal(kMeta, noApps, noBrowsers, R"("clipboard":{"items":"%%"},"rescued":[])"), 0},
  };
  for (const auto& c : cases) {
    const auto summary = probed(c.text);
    ASSERT_EQ(summary.has_value(), c.tabs.has_value()) << c.text;
    if (!summary) continue;
    EXPECT_EQ(summary->tabCount, *c.tabs) << c.text;
    EXPECT_EQ(summary->documentCount, c.documents) << c.text;
    EXPECT_EQ(summary->id, kID);
    EXPECT_EQ(summary->trigger, CaptureTrigger::drill);
  }
  EXPECT_EQ(SummaryProbe::decode("[]").error().message(),
            "The snapshot file can't be summarised: the snapshot is not readable (The JSON "
            "element does not have the requested type).");
  EXPECT_EQ(SummaryProbe::decode(minimal(kMeta, "\"apps\":[]", "\"browsers\":[]", "\"x\":1"))
                .error()
                .message(),
            "The snapshot file can't be summarised: the key \"rescued\" is missing.");
}

// What the probe skips is still checked: text that isn't JSON anywhere fails the whole probe.
TEST(SummaryProbeTest, FailsOnTextThatIsNotJsonInWhatItSkips) {
  const auto withTitle = [](const std::string& title) {
    return minimal(kMeta, R"("apps":[])",
                   R"("browsers":[{"windows":[{"tabs":[{"title":)" + title + "}]}]}]");
  };
  ASSERT_TRUE(probed(withTitle(R"("fine \u00e9")")));
  for (const std::string& bad : std::initializer_list<std::string>{
           R"("\q")", R"("\u12")", R"("\ud800")", R"("a",)", "NaN", "05", "word", "'quoted'",
           "[" + std::string(1 << 20, '[') + "]"}) {
    const auto probe = SummaryProbe::decode(withTitle(bad));
    ASSERT_FALSE(probe) << bad.substr(0, 20);
    EXPECT_TRUE(probe.error().message().starts_with(
        "The snapshot file can't be summarised: it isn't valid JSON (at byte "))
        << probe.error().message();
  }
  // A skipper's marker passes for the string it left out only when the text was shortened, and
  // never where the probe reads the value.
  const std::string marked = minimal(kMeta, R"("apps":[{"windows":[{"title":"\_"}]}])",
                                     R"("browsers":[])", R"("clipboard":"\_","rescued":[])");
  EXPECT_FALSE(SummaryProbe::decode(marked));
  EXPECT_TRUE(SummaryProbe::decode(marked, 0, true));
  EXPECT_FALSE(SummaryProbe::decode(
      minimal(kMeta, R"("apps":[{"windows":[{"documentURL":"\_"}]}])", R"("browsers":[])"), 0,
      true));
}

// Random snapshots whose windows and rescued copies share a small pool of locations.
class SnapshotGenerator {
 public:
  explicit SnapshotGenerator(unsigned seed) : random_(seed) {}

  Snapshot next() {
    Snapshot snapshot = testing::emptySnapshot(testing::sampleInstant() +
                                               std::chrono::milliseconds(below(1'000'000)));
    snapshot.meta.trigger = static_cast<CaptureTrigger>(below(6));
    for (int a = below(4); a > 0; --a) {
      AppRecord app;
      app.name = "App \"" + std::to_string(a) + "\"";
      for (int w = below(4); w > 0; --w) {
        WindowRecord window;
        window.title = "T\\" + std::to_string(w);
        if (below(5) > 0) window.documentURL = location();
        if (below(2) == 0) window.frame = Rect{1.5, -2, 3e3, 4};
        app.windows.push_back(window);
      }
      snapshot.apps.push_back(app);
    }
    for (int b = below(3); b > 0; --b) {
      BrowserRecord browser{
          static_cast<BrowserKind>(below(6)), static_cast<CaptureStatus>(below(5)), {}};
      for (int w = below(3); w > 0; --w) {
        browser.windows.push_back(
            {std::nullopt, 0, std::vector<TabRecord>(below(5), TabRecord{location(), "tab"})});
      }
      snapshot.browsers.push_back(browser);
    }
    for (int r = below(3); r > 0; --r) {
      snapshot.rescued.push_back({"id", "App", "Doc", below(2) ? kPaths[below(3)] : "/r/x"});
    }
    if (below(2) == 0)
      snapshot.clipboard = ClipboardRecord({{{"t", std::vector<std::uint8_t>(below(50), 7)}}});
    return snapshot;
  }

 private:
  static constexpr const char* kPaths[] = {"/Users/ann/Report.pages", "/Users/ann/My Notes.txt",
                                           "/Users/ann/dir"};
  std::string location() {
    static const char* const kURLs[] = {"file:///Users/ann/Report.pages",
                                        "file://localhost/Users/ann/Report.pages",
                                        "file:///Users/ann/My%20Notes.txt",
                                        "file:///Users/ann/dir/",
                                        "file:///Users/ann/dir",
                                        "https://example.org/Users/ann/Report.pages",
                                        "file://server/x",
                                        "not a url",
                                        "",
                                        "file:///bad%zz"};
    return kURLs[below(std::size(kURLs))];
  }
  int below(std::size_t bound) {
    return static_cast<int>(std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_));
  }
  std::mt19937 random_;
};

TEST(SummaryProbeTest, EqualsTheFullSummaryOnGeneratedSnapshots) {
  SnapshotGenerator generator(20260301);
  std::set<int> documentCounts;
  int shortenedReads = 0;
  for (int i = 0; i < 500; ++i) {
    const Snapshot snapshot = generator.next();
    const std::string text = *BrimwellJSON::encode(snapshot);
    auto probe = SummaryProbe::decode(text);
    ASSERT_TRUE(probe) << probe.error().message() << "\n" << text;
    EXPECT_EQ(probe->summary(snapshot.id), SnapshotSummary(snapshot)) << text;
    documentCounts.insert(snapshot.documentCount());
    // With long strings left out, as the store reads files, the probe reads the same or fails.
    const auto shortened = testing::skimmed(text, 30, 1000);
    ASSERT_TRUE(shortened);
    if (*shortened == text) continue;
    if (auto read = SummaryProbe::decode(*shortened, 0, true)) {
      EXPECT_EQ(read->summary(snapshot.id), SnapshotSummary(snapshot)) << text;
      ++shortenedReads;
    }
  }
  EXPECT_GE(documentCounts.size(), 4u);  // the generator reaches varied sharing
  EXPECT_GE(shortenedReads, 50);
}

}  // namespace
}  // namespace brimwell
