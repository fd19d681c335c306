#include "helper/helper_daemon_options.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

TEST(HelperDaemonOptionsTest, ProductionDefaultsAndOverrides) {
  auto defaults = parseHelperDaemonOptions({});
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->socketPath, "/run/com.tallowgate.brimwell.helper.sock");
  EXPECT_EQ(defaults->pmsetPath, "/usr/libexec/brimwell/pmset");
  EXPECT_EQ(defaults->idleExitAfter, 60);

  auto custom = parseHelperDaemonOptions({"--socket", "/tmp/s", "--record", "/tmp/r.json",
                                          "--pmset", "/tmp/pmset", "--idle-seconds", "0.5"});
  ASSERT_TRUE(custom);
  EXPECT_EQ(custom->socketPath, "/tmp/s");
  EXPECT_EQ(custom->recordPath, "/tmp/r.json");
  EXPECT_EQ(custom->pmsetPath, "/tmp/pmset");
  EXPECT_EQ(custom->idleExitAfter, 0.5);

  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{"--socket"}, "The option --socket needs a value."},
      {{"--verbose", "1"}, "The Brimwell helper has no option --verbose."},
      {{"--verbose"}, "The Brimwell helper has no option --verbose."},
      {{"--allowed-client", "/usr/bin/brimwell"},
       "The Brimwell helper has no option --allowed-client."},
      {{"--idle-seconds", "soon"}, "The idle time soon is not a number of seconds."},
      {{"--idle-seconds", "-1"}, "The idle time -1 is not a number of seconds."},
  };
  for (const auto& [arguments, message] : bad) {
    auto parsed = parseHelperDaemonOptions(arguments);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.error().message(), message);
  }

  // --help takes no value, alone or among the others.
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--help"}, {"-h"}, {"--socket", "/tmp/s", "--help"}}) {
    auto parsed = parseHelperDaemonOptions(arguments);
    ASSERT_TRUE(parsed) << arguments.back();
    EXPECT_TRUE(parsed->help);
  }
  EXPECT_FALSE(defaults->help);
  const std::string usage = helperUsage();
  EXPECT_TRUE(usage.starts_with("Usage: brimwell-helper [--socket PATH]")) << usage;
  EXPECT_NE(usage.find("(default /run/com.tallowgate.brimwell.helper.sock)"), std::string::npos);
  EXPECT_NE(usage.find("(default 60)"), std::string::npos);
}

}  // namespace
}  // namespace brimwell
