#include "cli/rescued_command.h"

#include <gtest/gtest.h>

#include "brimwell/core/rescue/rescue_ledger.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "tests/cli/run_tool.h"

namespace brimwell {
namespace {

TEST(RescuedCommandTest, ListsTheRecentCopiesThatStillExistNewestFirst) {
  testing::TempDir support;
  const BrimwellPaths paths{support.path(), support / "Rescued"};
  std::filesystem::create_directories(paths.rescueRoot);
  const auto copy = [&](const std::string& name, bool exists) {
    const auto path = support / "Rescued" / name;
    if (exists) testing::writeFile(path, "text");
    return RescuedDocument{"org.gnu.emacs", "Emacs", name + " buffer", path.string()};
  };
  const Date now = std::chrono::system_clock::now();
  RescueLedger ledger(paths);
  ASSERT_TRUE(ledger.record({copy("old.txt", true)}, addSeconds(now, -7 * 3600)));
  ASSERT_TRUE(
      ledger.record({copy("first.txt", true), copy("moved.txt", false)}, addSeconds(now, -600)));
  ASSERT_TRUE(ledger.record({copy("second.txt", true)}, addSeconds(now, -60)));

  const auto text = testing::runTool({"rescued", "--support", support.path().string()});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(testing::lines(text.out),
            (std::vector<std::string>{
                "Emacs  \"second.txt buffer\"  " + (support / "Rescued/second.txt").string(),
                "Emacs  \"first.txt buffer\"  " + (support / "Rescued/first.txt").string()}));

  const auto json = testing::runTool({"rescued", "--json", "--support", support.path().string()});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto lines = testing::lines(json.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(BrimwellJSON::decode<RescuedDocument>(lines[1]).value(), copy("first.txt", true));

  testing::TempDir empty;
  EXPECT_EQ(testing::runTool({"rescued", "--support", empty.path().string()}).out,
            "No document was rescued in the last six hours.\n");
}

}  // namespace
}  // namespace brimwell
