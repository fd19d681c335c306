#include "linux/xdg_locations.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "linux/user_home.h"

namespace brimwell {
namespace {

TEST(XdgLocationsTest, FollowsTheVariablesAndTheDocumentsLine) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> environment;
    std::string userDirs;
    XdgLocations expected;
  };
  const std::filesystem::path home = "/home/ann";
  const Case cases[] = {
      {"defaults",
       {},
       "",
       {{"/home/ann/.local/state/brimwell", "/home/ann/Documents/Brimwell Rescued"},
        "/home/ann/.config/brimwell/settings.json"}},
      {"absolute variables",
       {{"XDG_STATE_HOME", "/var/ann/state"}, {"XDG_CONFIG_HOME", "/etc/ann"}},
       "",
       {{"/var/ann/state/brimwell", "/home/ann/Documents/Brimwell Rescued"},
        "/etc/ann/brimwell/settings.json"}},
      {"relative variables are ignored",
       {{"XDG_STATE_HOME", "state"}, {"XDG_CONFIG_HOME", ""}},
       "",
       {{"/home/ann/.local/state/brimwell", "/home/ann/Documents/Brimwell Rescued"},
        "/home/ann/.config/brimwell/settings.json"}},
      {"documents under home, quoted and escaped",
       {},
       "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
       "  XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Papers\\\"\"\n",
       {{"/home/ann/.local/state/brimwell", "/home/ann/My \"Papers\"/Brimwell Rescued"},
        "/home/ann/.config/brimwell/settings.json"}},
      {"the last valid line wins; relative and commented ones don't count",
       {},
       "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n#XDG_DOCUMENTS_DIR=\"/commented\"\n"
       "XDG_DOCUMENTS_DIR=\"Documents\"\nXDG_DOCUMENTS_DIR_OLD=\"/old\"",
       {{"/home/ann/.local/state/brimwell", "/srv/docs/Brimwell Rescued"},
        "/home/ann/.config/brimwell/settings.json"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(XdgLocations::under(home, test.environment, test.userDirs), test.expected);
  }
}

// Every location follows the shell's $HOME, as the desktop's own programs do; the password
// database answers only when $HOME is unset or not absolute.
TEST(XdgLocationsTest, TheHomeIsTheEnvironmentsWhenAbsolute) {
  const auto passwordHome = userHome(std::nullopt, ::getuid());
  ASSERT_TRUE(passwordHome);
  EXPECT_EQ(userHome("/srv/elsewhere", ::getuid()), std::filesystem::path("/srv/elsewhere"));
  EXPECT_EQ(userHome("relative/home", ::getuid()), passwordHome);
  EXPECT_EQ(userHome("", ::getuid()), passwordHome);

  const auto moved = XdgLocations::resolve({{"HOME", "/nonexistent/ann"}});
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->paths, (BrimwellPaths{"/nonexistent/ann/.local/state/brimwell",
                                         "/nonexistent/ann/Documents/Brimwell Rescued"}));
  EXPECT_EQ(moved->settingsFile, "/nonexistent/ann/.config/brimwell/settings.json");
}

}  // namespace
}  // namespace brimwell
