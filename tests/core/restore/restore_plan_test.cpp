#include "brimwell/core/restore/restore_plan.h"

#include <gtest/gtest.h>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

TEST(RestorePlanTest, EncodesEachStepWithItsCaseNameAndPayloadKeys) {
  const AppRecord app{std::nullopt, "/A.app", "A", false, false, 0, {}, CaptureStatus::ok};
  const RestorePlan plan{
      "20260301T140509.250Z",
      {
          RestoreStep::launchApp(app),
          RestoreStep::openDocuments("", "com.gone.App", {"/r.txt"}),
          RestoreStep::openDocuments("/A.app", std::nullopt, {}),
          RestoreStep::openBrowserWindow(BrowserKind::arc, {std::nullopt, 0, {{"u", "t"}}}),
          RestoreStep::openFinderWindow({"/f", std::nullopt}),
          RestoreStep::openTerminalWindow(TerminalKind::iterm2, {std::nullopt, {{"/d", "d"}}}),
          RestoreStep::placeWindows(app),
          RestoreStep::restoreClipboard(ClipboardRecord({{{"t", {'h', 'i', '!'}}}})),
      },
      7};
  const std::string appJson =
      R"({"isHidden":false,"name":"A","order":0,"path":"/A.app","wasFrontmost":false,)"
      R"("windows":[],"windowsStatus":"ok"})";
  EXPECT_EQ(
      *BrimwellJSON::encode(plan),
      R"({"clipboardChangeCount":7,"snapshotID":"20260301T140509.250Z","steps":[)"
      R"({"app":)" +
          appJson +
          R"(,"step":"launchApp"},)"
          R"({"appBundleID":"com.gone.App","appPath":"","paths":["/r.txt"],"step":"openDocuments"},)"
          R"({"appPath":"/A.app","paths":[],"step":"openDocuments"},)"
          R"({"browser":"arc","step":"openBrowserWindow","window":{"activeTabIndex":0,)"
          R"("tabs":[{"title":"t","url":"u"}]}},)"
          R"({"step":"openFinderWindow","window":{"path":"/f"}},)"
          R"({"app":"iterm2","step":"openTerminalWindow","window":{"tabs":[{"directory":"/d",)"
          R"("title":"d"}]}},)"
          R"({"app":)" +
          appJson +
          R"(,"step":"placeWindows"},)"
          R"({"clipboard":{"items":[{"t":"aGkh"}],"totalBytes":3},"step":"restoreClipboard"}]})");

  EXPECT_EQ(*BrimwellJSON::encode(RestorePlan{"id", {}, std::nullopt}),
            R"({"snapshotID":"id","steps":[]})");
}

}  // namespace
}  // namespace brimwell
