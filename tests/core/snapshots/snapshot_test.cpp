#include "brimwell/core/snapshots/snapshot.h"

#include <gtest/gtest.h>

#include <string>

#include "brimwell/core/storage/brimwell_json.h"
#include "tests/core/snapshots/snapshot_samples.h"

namespace brimwell {
namespace {

using testing::emptySnapshot;
using testing::richSnapshot;

Result<Snapshot> decodeText(const std::string& text) {
  return BrimwellJSON::decode<Snapshot>(text);
}

std::string encoded(const Snapshot& snapshot) { return *BrimwellJSON::encode(snapshot); }

TEST(SnapshotTest, EmptySnapshotEncodesSortedCompactWithEmptyListsAndNoAbsentKeys) {
  const std::string text = encoded(emptySnapshot());
  EXPECT_EQ(text, R"({"apps":[],"browsers":[],"finder":[],"id":"20260301T140509.250Z",)"
                  R"("meta":{"bootSessionUUID":"B00T","createdAt":"2026-03-01T14:05:09.250Z",)"
                  R"("durationMs":12,"hostModel":"Laptop1,1","trigger":"watch"},"rescued":[],)"
                  R"("savers":[],"schema":1,"terminals":[]})");
  EXPECT_EQ(*decodeText(text), emptySnapshot());
}

TEST(SnapshotTest, RichSnapshotRoundTripsWithBase64ClipboardAndPlainSlashes) {
  const Snapshot snapshot = richSnapshot();
  const std::string text = encoded(snapshot);
  EXPECT_NE(
      text.find(R"("clipboard":{"items":[{"public.utf8-plain-text":"aGkh"}],"totalBytes":3})"),
      std::string::npos);
  EXPECT_NE(text.find(R"("meta":{"batteryPercent":7,"bootSessionUUID")"), std::string::npos);
  EXPECT_NE(text.find("\"documentURL\":\"file:///Users/ann/Report.pages\""), std::string::npos);
  EXPECT_NE(text.find(R"("savePassAt":"2026-03-01T14:04:39.250Z")"), std::string::npos);
  EXPECT_EQ(text.find("null"), std::string::npos);
  EXPECT_EQ(text.find("\\/"), std::string::npos);
  auto decoded = decodeText(text);
  ASSERT_TRUE(decoded) << decoded.error().message();
  EXPECT_EQ(*decoded, snapshot);
}

// Replaces the first occurrence of `from` in the rich snapshot's text.
std::string richWith(const std::string& from, const std::string& to) {
  std::string text = encoded(richSnapshot());
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(SnapshotTest, DecodingIsStrictForRequiredKeysTypesAndEnumerations) {
  const struct {
    const char* from;
    const char* to;
    bool decodes;
    const char* error = nullptr;  // the exact sentence, where it matters
  } cases[] = {
      {R"("savers":[{)", R"("saverz":[{)", false},                    // no savers
      {R"("finder":[)", R"("finderX":[)", false},                     // no finder
      {R"("trigger":"watch")", R"("trigger":"often")", false},        // unknown trigger
      {R"("windowsStatus":"ok")", R"("windowsStatus":"OK")", false},  // case matters
      {R"("browser":"brave")", R"("browser":"opera")", false},
      {R"("outcome":"pressedCommandS")", R"("outcome":"pressedCommandQ")", false},
      {R"("batteryPercent":7)", R"("batteryPercent":"7")", false},  // wrong type
      {R"("batteryPercent":7)", R"("batteryPercent":7.5)", false},  // not an integer
      {R"("durationMs":12)", R"("durationMs":12.0)", false},
      {R"("aGkh")", R"("aGk")", false},  // not padded Base64
      {R"("aGkh")", R"(104)", false},
      {R"("isHidden":false)", R"("isHidden":0)", false},
      {R"("schema":1)", R"("schema":7)", true},                     // never compared
      {R"("batteryPercent":7)", R"("batteryPercent":null)", true},  // optional null = absent
      {R"("powerSource":"battery")", R"("powerSource":null)", true},
      {R"("savePassAt":"2026-03-01T14:04:39.250Z")", R"("savePassAt":null)", true},
      {R"("totalBytes":3)", R"("totalBytes":99,"extra":[1,2])", true},  // no check, extra keys
      {R"("savePassAt":"2026-03-01T14:04:39.250Z")", R"("savePassAt":"2026-03-01T14:04:39Z")",
       true},
      {R"("savePassAt":"2026-03-01T14:04:39.250Z")", R"("savePassAt":"soon")", false,
       "Not an ISO8601 date: soon"},  // the shared decoder's sentence
  };
  for (const auto& c : cases) {
    const auto decoded = decodeText(richWith(c.from, c.to));
    EXPECT_EQ(decoded.has_value(), c.decodes) << c.to;
    if (c.error && !decoded) {
      EXPECT_EQ(decoded.error().message(), c.error);
    }
  }
}

TEST(SnapshotTest, ClipboardTotalCountsEveryRepresentation) {
  using Item = ClipboardRecord::Item;
  const ClipboardRecord clipboard(
      {Item{{"a", {1, 2, 3}}}, Item{{"b", {1, 2, 3, 4}}}, Item{{"c", {1, 2}}, {"d", {1, 2, 3}}}});
  EXPECT_EQ(clipboard.totalBytes, 12);
  EXPECT_EQ(ClipboardRecord(std::vector<Item>{}).totalBytes, 0);
}

TEST(SnapshotTest, FileURLOnlyForFileURLsWithTheDecodedPath) {
  const struct {
    std::optional<std::string> documentURL;
    std::optional<std::string> path;
  } cases[] = {
      {"file:///Users/ann/Report.pages", "/Users/ann/Report.pages"},
      {"file://localhost/Users/ann/My%20Report.pages", "/Users/ann/My Report.pages"},
      {"FILE:///tmp/%C3%A9t%C3%A9/", "/tmp/\xC3\xA9t\xC3\xA9"},
      {"file:/tmp/a.txt", "/tmp/a.txt"},
      {"file:///tmp/a.txt?x=1#frag", "/tmp/a.txt"},
      {"file://server/share/a.txt", "/share/a.txt"},  // any host: the scheme decides
      {"file:notes.txt", "notes.txt"},
      {"https://example.org/a.txt", std::nullopt},
      {"file:///tmp/a b.txt", std::nullopt},      // not a URL: a raw space
      {"file:///tmp/100%.txt", std::nullopt},     // a broken escape
      {"/Users/ann/Report.pages", std::nullopt},  // no scheme
      {"not a url", std::nullopt},
      {"", std::nullopt},
      {std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    WindowRecord window;
    window.documentURL = c.documentURL;
    const auto url = window.fileURL();
    EXPECT_EQ(url ? std::optional(url->fileSystemPath()) : std::nullopt, c.path)
        << c.documentURL.value_or("(none)");
  }
}

TEST(SnapshotTest, KindsMapToBundleIdentifiersExactly) {
  for (BrowserKind kind : allCases<BrowserKind>())
    EXPECT_EQ(fromBundleID<BrowserKind>(bundleID(kind)), kind);
  for (TerminalKind kind : allCases<TerminalKind>())
    EXPECT_EQ(fromBundleID<TerminalKind>(bundleID(kind)), kind);
  EXPECT_EQ(fromBundleID<BrowserKind>("com.brave.Browser"), BrowserKind::brave);
  EXPECT_EQ(fromBundleID<BrowserKind>("com.Brave.Browser"), std::nullopt);
  EXPECT_EQ(enumFromString<TerminalKind>("iTerm2"), std::nullopt);
}

TEST(SnapshotTest, CountsFollowTheSummaryRules) {
  Snapshot snapshot = richSnapshot();
  EXPECT_EQ(snapshot.appCount(), 2);
  EXPECT_EQ(snapshot.tabCount(), 5);
  EXPECT_EQ(snapshot.documentCount(), 2);  // the shared file once, the rescue copy once
  snapshot.rescued.push_back(snapshot.rescued[0]);
  snapshot.rescued.push_back({"x", "X", "Report", "/Users/ann/Report.pages"});  // a window's path
  snapshot.browsers.push_back(
      {BrowserKind::safari, CaptureStatus::failed, {BrowserWindowRecord{std::nullopt, 0, {}}}});
  snapshot.browsers[0].windows[1].tabs.clear();
  EXPECT_EQ(snapshot.documentCount(), 2);
  EXPECT_EQ(snapshot.tabCount(), 3);
  // A file URL with a host names its path: one more document, and none for the same path again.
  snapshot.apps[0].windows[0].documentURL = "file://server/share/Plan.txt";
  EXPECT_EQ(snapshot.documentCount(), 3);
  snapshot.rescued.push_back({"y", "Y", "Plan", "/share/Plan.txt"});
  EXPECT_EQ(snapshot.documentCount(), 3);
  EXPECT_EQ(emptySnapshot().documentCount() + emptySnapshot().tabCount(), 0);
}

}  // namespace
}  // namespace brimwell
