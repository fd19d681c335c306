#include "linux/save/save_plan.h"

#include <gtest/gtest.h>

#include "linux/save/emacs_save.h"

namespace brimwell {
namespace {

TEST(SavePlan, ChoosesOneWayPerApplicationAndNeverTouchesExcludedOnes) {
  const std::vector<RunningApp> running = {
      {.bundleID = "org.example.writer", .name = "Writer", .windows = {"1", "2"}},
      {.bundleID = "emacs", .name = "Emacs"},
      {.bundleID = "org.gnome.TextEditor", .name = "Text Editor", .windows = {"3"}},
      {.bundleID = "org.example.secret", .name = "Secret", .windows = {"4"}},
      {.bundleID = "org.example.paint", .name = "Paint", .windows = {"5"}},
      {.bundleID = "code", .name = "Code", .windows = {"6"}},
      {.bundleID = "nvim", .name = "Neovim"},
      {.bundleID = "vim", .name = "Vim", .windows = {"7"}},  // gvim's window is Vim's too
  };
  const auto plans =
      planSaves(running, {"org.example.writer", "emacs", "org.example.secret", "code"},
                {"org.example.secret"});
  const std::vector<PlannedSave> expected = {
      {.app = running[0], .way = SaveWay::commandS},
      {.app = running[1], .way = SaveWay::emacsServer},  // Ctrl+S is a search in Emacs
      {.app = running[2], .way = SaveWay::savesItself},
      {.app = running[4], .way = SaveWay::notSupported},
      {.app = running[5], .way = SaveWay::commandS},  // the user's list wins over the table
      {.app = running[6], .way = SaveWay::neovimServers},
      {.app = running[7], .way = SaveWay::vimServers},
  };
  EXPECT_EQ(plans, expected);
  EXPECT_TRUE(planSaves(running, {},
                        {"emacs", "org.example.writer", "org.gnome.TextEditor",
                         "org.example.secret", "org.example.paint", "code", "nvim", "vim"})
                  .empty());
}

TEST(EmacsAnswer, ReadsOnlyTheFormsOwnReport) {
  // ["saved","notes.txt","/w/notes.txt"], ["rescued","*scratch*","/r/Emacs - scratch.txt"],
  // ["failed","draft","Disk full"], as the form prints it.
  const std::string printed =
      "\"W1sic2F2ZWQiLCJub3Rlcy50eHQiLCIvdy9ub3Rlcy50eHQiXSxbInJlc2N1ZWQiLCIqc2NyYXRjaCoiLCIv"
      "ci9FbWFjcyAtIHNjcmF0Y2gudHh0Il0sWyJmYWlsZWQiLCJkcmFmdCIsIkRpc2sgZnVsbCJdXQ==\"\n";
  using Kind = EmacsBufferReport::Kind;
  EXPECT_EQ(parseEmacsSaveAnswer(printed).value(),
            (std::vector<EmacsBufferReport>{
                {.kind = Kind::saved, .buffer = "notes.txt", .file = "/w/notes.txt"},
                {.kind = Kind::rescued, .buffer = "*scratch*", .file = "/r/Emacs - scratch.txt"},
                {.kind = Kind::failed, .buffer = "draft", .file = "Disk full"}}));
  EXPECT_TRUE(parseEmacsSaveAnswer("\"W10=\"").value().empty());  // []
  for (const std::string bad : {"", "nil", "\"W10\"", "W10=", "\"e30=\"" /* {} */,
                                "\"W1siemFwcGVkIiwiYSIsImIiXV0=\"" /* [["zapped","a","b"]] */,
                                "\"W1sic2F2ZWQiLCJhIl1d\"" /* [["saved","a"]] */}) {
    EXPECT_FALSE(parseEmacsSaveAnswer(bad).has_value()) << bad;
  }
}

TEST(EmacsAnswer, SumsBuffersIntoOneResult) {
  using Kind = EmacsBufferReport::Kind;
  const EmacsBufferReport saved{.kind = Kind::saved, .buffer = "a.txt", .file = "/w/a.txt"};
  const EmacsBufferReport rescued{.kind = Kind::rescued, .buffer = "*scratch*", .file = "/r/s"};
  const EmacsBufferReport failed{.kind = Kind::failed, .buffer = "b", .file = "Disk full"};
  struct Case {
    std::vector<EmacsBufferReport> reports;
    SaverOutcome outcome;
    int saved, rescued;
    std::optional<std::string> detail;
  };
  const Case cases[] = {
      {{}, SaverOutcome::nothingToSave, 0, 0, std::nullopt},
      {{saved, saved}, SaverOutcome::saved, 2, 0, std::nullopt},
      {{saved, rescued},
       SaverOutcome::saved,
       1,
       1,
       "Saved copies of unsaved buffers in the rescue folder."},
      {{failed, saved}, SaverOutcome::saved, 1, 0, "Emacs couldn't save 1 buffer (b: Disk full)."},
      {{failed, failed},
       SaverOutcome::failed,
       0,
       0,
       "Emacs couldn't save 2 buffers (b: Disk full; b: Disk full)."},
  };
  for (const auto& c : cases) {
    const auto output = emacsPassOutput(c.reports, "emacs", "Emacs");
    ASSERT_EQ(output.results.size(), 1u);
    EXPECT_EQ(output.results[0], (SaverResult{.bundleID = "emacs",
                                              .appName = "Emacs",
                                              .outcome = c.outcome,
                                              .saved = c.saved,
                                              .rescued = c.rescued,
                                              .detail = c.detail}));
    EXPECT_EQ(output.rescued.size(), std::size_t(c.rescued));
  }
  EXPECT_EQ(emacsPassOutput({rescued}, "emacs", "Emacs").rescued,
            (std::vector<RescuedDocument>{{.appBundleID = "emacs",
                                           .appName = "Emacs",
                                           .originalTitle = "*scratch*",
                                           .path = "/r/s"}}));
}

}  // namespace
}  // namespace brimwell
