#include "brimwell/core/restore/restore_selection.h"

#include <gtest/gtest.h>

#include "brimwell/core/restore/current_workspace.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

TEST(RestoreSelectionTest, WindowKeysAreRawValueHashIndex) {
  EXPECT_EQ(RestoreSelection::browserKey(BrowserKind::vivaldi, 12), "vivaldi#12");
  EXPECT_EQ(RestoreSelection::terminalKey(TerminalKind::iterm2, 0), "iterm2#0");
}

TEST(RestoreSelectionTest, JsonKeepsAbsentApartFromEmptyAndRoundTrips) {
  RestoreSelection selection;
  selection.finderPaths = std::set<std::string>{};
  selection.browserWindows = {{"safari#1", "chrome#0"}};
  selection.clipboard = false;
  selection.clipboardChangeCount = 41;
  const std::string text = *BrimwellJSON::encode(selection);
  EXPECT_EQ(text, R"({"browserWindows":["chrome#0","safari#1"],"clipboard":false,)"
                  R"("clipboardChangeCount":41,"clipboardWasDefault":false,"finderPaths":[]})");
  EXPECT_EQ(*BrimwellJSON::decode<RestoreSelection>(text), selection);
  // Everything is the selection with every option left out.
  EXPECT_EQ(*BrimwellJSON::decode<RestoreSelection>(R"({"clipboardWasDefault":false})"),
            RestoreSelection::everything());
  EXPECT_FALSE(BrimwellJSON::decode<RestoreSelection>("{}"));
  EXPECT_FALSE(BrimwellJSON::decode<RestoreSelection>(
      R"({"clipboardWasDefault":false,"appPaths":"/A.app"})"));
}

TEST(CurrentWorkspaceTest, JsonKeysMapsByRawValuesAndRejectsUnknownKinds) {
  const CurrentWorkspace current{{"com.example.Editor"},
                                 {"/Applications/Editor.app"},
                                 {"/b.txt", "/a.txt"},
                                 {{BrowserKind::chrome, {"https://a.example/"}}},
                                 {"/Users/ann"},
                                 true,
                                 {{TerminalKind::iterm2, {"/y", "/x", "/y"}}}};
  const std::string text = *BrimwellJSON::encode(current);
  EXPECT_EQ(text,
            R"({"clipboardIsEmpty":true,"openDocumentPaths":["/a.txt","/b.txt"],)"
            R"("openFinderPaths":["/Users/ann"],"openTabURLs":{"chrome":["https://a.example/"]},)"
            R"("openTerminalTabs":{"iterm2":["/y","/x","/y"]},)"
            R"("runningAppPaths":["/Applications/Editor.app"],)"
            R"("runningBundleIDs":["com.example.Editor"]})");
  EXPECT_EQ(*BrimwellJSON::decode<CurrentWorkspace>(text), current);

  std::string unknownBrowser = text;
  unknownBrowser.replace(unknownBrowser.find("\"chrome\""), 8, "\"opera\"");
  const auto decoded = BrimwellJSON::decode<CurrentWorkspace>(unknownBrowser);
  ASSERT_FALSE(decoded);
  EXPECT_EQ(decoded.error().message(), "\"opera\" is not one of the known values.");
  EXPECT_FALSE(BrimwellJSON::decode<CurrentWorkspace>(R"({"clipboardIsEmpty":true})"));
}

}  // namespace
}  // namespace brimwell
