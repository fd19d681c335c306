// Brimwell's Shell extension as GNOME Shell sees it: what each of the Shell's answers means, and
// `brimwell setup gnome` and `brimwell doctor` run as programs against a real headless Shell that
// has the extension installed but off.
#include "linux/gnome_extension.h"

#include <gtest/gtest.h>

#include <fstream>

#include "linux/capture/gnome_shell.h"
#include "tests/cli/run_tool.h"
#include "tests/support/gnome_session.h"
#include "tests/support/scoped_environment.h"

namespace brimwell {
namespace {

using State = ShellExtensionFacts::State;

TEST(ShellExtensionVerdict, EachStateHasItsSentence) {
  EXPECT_EQ(shellExtensionState(1), State::on);
  EXPECT_EQ(shellExtensionState(2), State::off);
  EXPECT_EQ(shellExtensionState(6), State::off);  // installed, never turned on
  EXPECT_EQ(shellExtensionState(3), State::failed);
  EXPECT_EQ(shellExtensionState(4), State::outOfDate);
  EXPECT_EQ(shellExtensionState(99), State::unknown);
  EXPECT_EQ(shellExtensionState(5), State::other);

  const struct {
    ShellExtensionFacts facts;
    ExtensionVerdict verdict;
  } cases[] = {
      {{"43.9", State::on}, {true, "Brimwell's extension is on in GNOME Shell 43.9."}},
      {{"43.9", State::off},
       {false,
        "Brimwell's extension is off in GNOME Shell 43.9; brimwell setup gnome turns it on."}},
      {{"44.2", State::failed, "TypeError: x is undefined"},
       {false, "Brimwell's extension failed in GNOME Shell 44.2 (TypeError: x is undefined)."}},
      {{"44.2", State::failed},
       {false, "Brimwell's extension failed in GNOME Shell 44.2 (the Shell gives no reason)."}},
      {{"46.0", State::outOfDate, "", {"43", "44", "45"}},
       {false, "Brimwell's extension supports GNOME Shell 43, 44 and 45, not 46.0."}},
      {{"46.0", State::outOfDate, "", {"43"}},
       {false, "Brimwell's extension supports GNOME Shell 43, not 46.0."}},
      {{"43.9", State::unknown},
       {false,
        "GNOME Shell 43.9 doesn't know Brimwell's extension: install Brimwell, then log out and "
        "back in."}},
      {{"43.9", State::other},
       {false, "Brimwell's extension isn't ready in GNOME Shell 43.9; try again in a moment."}},
  };
  for (const auto& c : cases) EXPECT_EQ(extensionVerdict(c.facts), c.verdict);
}

TEST(ShellExtensionSetup, NoShellIsOneSentence) {
  testing::PrivateBus bus;
  DeadlineBus session(DeadlineBus::Kind::session, std::chrono::seconds(1));
  const auto verdict = setUpShellExtension(session);
  ASSERT_FALSE(verdict);
  EXPECT_EQ(verdict.error().message(), "GNOME Shell doesn't answer on the session bus.");
}

TEST(ShellExtensionSetup, TurnsTheExtensionOnInARealShellAndTheDoctorSeesIt) {
  // Beside Brimwell's, a copy that claims an old Shell only.
  const std::string old = "brimwell-old@tallowgate.com";
  testing::GnomeSession gnome(
      {.extensionOn = false, .install = [&](const std::filesystem::path& extensions) {
         std::filesystem::create_directory(extensions / old);
         std::ofstream(extensions / old / "metadata.json")
             << R"({"uuid": ")" << old << R"(", "name": "Old", "description": "d", )"
             << R"("shell-version": ["3.38", "40"]})";
         std::filesystem::copy_file(
             std::filesystem::path(BRIMWELL_GNOME_EXTENSION_DIR) / "extension.js",
             extensions / old / "extension.js");
       }});
  ASSERT_TRUE(gnome.ready()) << gnome.error();
  testing::ScopedEnvironment environment;
  environment.setAll(gnome.environment());
  DeadlineBus session(DeadlineBus::Kind::session, std::chrono::seconds(2));
  const auto before = readShellExtension(session, kBrimwellExtensionUUID);
  ASSERT_TRUE(before) << before.error().message();
  EXPECT_EQ(before->state, State::off);
  EXPECT_FALSE(before->shellVersion.empty());
  EXPECT_FALSE(GnomeShell().windows()) << "the extension answered while off";

  const auto doctorBefore = testing::runTool({"doctor", "--json"});
  EXPECT_NE(doctorBefore.out.find("Brimwell's extension is off in GNOME Shell " +
                                  before->shellVersion + "; brimwell setup gnome turns it on."),
            std::string::npos)
      << doctorBefore.out;

  const auto setup = testing::runTool({"setup", "gnome"});
  EXPECT_EQ(setup.status, 0) << setup.err;
  EXPECT_EQ(setup.out,
            "Turned on Brimwell's extension in GNOME Shell " + before->shellVersion + ".\n");
  EXPECT_TRUE(
      testing::GnomeSession::waitUntil([] { return GnomeShell().windows().has_value(); }, 5))
      << "the extension doesn't answer after setup";
  const auto again = testing::runTool({"setup", "gnome"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, "Brimwell's extension is on in GNOME Shell " + before->shellVersion + ".\n");

  const auto outdated = readShellExtension(session, old);
  ASSERT_TRUE(outdated) << outdated.error().message();
  EXPECT_EQ(
      extensionVerdict(*outdated).sentence,
      "Brimwell's extension supports GNOME Shell 3.38 and 40, not " + before->shellVersion + ".");
  const auto missing = readShellExtension(session, "nothing@tallowgate.com");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->state, State::unknown);
}

}  // namespace
}  // namespace brimwell
