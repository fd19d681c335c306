#include "linux/capture/kwin_scripts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace brimwell {
namespace {

const KwinReplyAddress kReply{.busName = ":1.42",
                              .path = "/org/brimwell/KwinAnswer",
                              .interface = "org.brimwell.KwinAnswer",
                              .method = "Report",
                              .token = "brimwell-1-1"};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(KwinScripts, TheListingScriptAnswersToTheGivenAddressAndToken) {
  const std::string script = kwinWindowListScript(kReply);
  EXPECT_TRUE(contains(
      script, R"(callDBus(":1.42", "/org/brimwell/KwinAnswer", "org.brimwell.KwinAnswer", )"
              R"("Report", "brimwell-1-1", JSON.stringify()"));
}

// An id from a snapshot is someone else's text: it reaches the script only as a string literal.
TEST(KwinScripts, AWindowIdIsWrittenAsAnEscapedStringLiteral) {
  const struct {
    std::string id;
    std::string literal;
  } cases[] = {
      {"{08f0afc2-34cf}", R"("{08f0afc2-34cf}")"},
      {R"("; workspace.activeClient.closeWindow(); ")",
       R"("\"; workspace.activeClient.closeWindow(); \"")"},
      {"a\\b\nc", R"("a\\b\nc")"},
      {"line\xe2\x80\xa8sep", R"("line\u2028sep")"},
      {std::string("bad\xff", 4), R"("bad\ufffd")"},
  };
  for (const auto& c : cases) {
    const auto script = kwinPlacementScript({.id = c.id, .activate = true}, kReply);
    ASSERT_TRUE(script) << c.literal;
    EXPECT_TRUE(contains(*script, "var id = " + c.literal + ";\n")) << *script;
  }
}

TEST(KwinScripts, APlacementWritesOnlyWhatItIsAskedAsNumbersAndBooleans) {
  const struct {
    const char* name;
    KwinPlacement placement;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  } cases[] = {
      {"frame",
       {.id = "w", .frame = Rect{10.4, -20.6, 300, 200.5}},
       {"if (w.fullScreen) w.fullScreen = false;\n",
        "w.frameGeometry = {x: 10, y: -21, width: 300, height: 201};\n"},
       {"w.minimized", "activeClient = w"}},
      {"minimise and full screen",
       {.id = "w", .minimized = true, .fullScreen = true, .activate = true},
       {"w.fullScreen = true;\n", "w.minimized = true;\n"},
       {"frameGeometry", "activeClient = w"}},
      {"activate",
       {.id = "w", .minimized = false, .activate = true},
       {"w.minimized = false;\n", "workspace.activeClient = w;\n"},
       {"frameGeometry", "w.fullScreen"}},
  };
  for (const auto& c : cases) {
    const auto script = kwinPlacementScript(c.placement, kReply);
    ASSERT_TRUE(script) << c.name;
    for (const auto& part : c.present) EXPECT_TRUE(contains(*script, part)) << c.name << *script;
    for (const auto& part : c.absent) EXPECT_FALSE(contains(*script, part)) << c.name << *script;
  }
}

TEST(KwinScripts, APlacementNoScreenCanShowIsRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Rect frames[] = {{nan, 0, 10, 10}, {0, inf, 10, 10}, {0, 0, 0, 10},
                         {0, 0, 10, -5},   {2e6, 0, 10, 10}, {0, 0, 10, 2e6}};
  for (const auto& frame : frames) {
    const auto script = kwinPlacementScript({.id = "w", .frame = frame}, kReply);
    ASSERT_FALSE(script);
    EXPECT_EQ(script.error().message(), "The window's frame is not one a screen has.");
  }
  EXPECT_EQ(kwinPlacementScript({.id = ""}, kReply).error().message(),
            "The window to place has no id.");
}

}  // namespace
}  // namespace brimwell
