#include "brimwell/core/helper/peer_identity.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace brimwell {
namespace {

TEST(PeerIdentityTest, RequirementsMapToUserAndProtectedExecutable) {
  const std::string app = "/usr/bin/brimwell";
  const PeerRequirement client{app, std::nullopt, true};
  const PeerRequirement helper{"/usr/libexec/brimwell/brimwell-helper", 0, false};
  // A daemon a test runs as user 1000, from an executable that user built.
  const PeerRequirement built{"/build/brimwell-helper", 1000, false, 1000};
  auto peer = [](uid_t uid, std::optional<std::string> exe, uid_t owner = 0,
                 mode_t mode = S_IFREG | 0755) {
    return PeerIdentity{1234, uid, exe, exe ? std::optional<uid_t>(owner) : std::nullopt,
                        exe ? std::optional<mode_t>(mode) : std::nullopt};
  };
  struct Row {
    PeerIdentity peer;
    const PeerRequirement* requirement;
    bool accepted;
  };
  const Row rows[] = {
      {peer(1000, app), &client, true},
      {peer(0, "/usr/bin/python3"), &client, true},
      {peer(1000, "/usr/bin/python3"), &client, false},
      {peer(1000, std::nullopt), &client, false},
      {peer(1000, app, 1000), &client, false},
      {peer(1000, app, 0, S_IFREG | 0775), &client, false},
      {peer(0, "/usr/libexec/brimwell/brimwell-helper"), &helper, true},
      {peer(0, std::nullopt), &helper, true},
      {peer(1000, "/usr/libexec/brimwell/brimwell-helper"), &helper, false},
      {peer(0, "/tmp/impostor"), &helper, false},
      {peer(1000, "/build/brimwell-helper", 1000), &built, true},
      {peer(1000, "/build/brimwell-helper", 0), &built, false},
      {peer(1000, "/build/brimwell-helper", 1000, S_IFREG | 0777), &built, false},
      {peer(1001, "/build/brimwell-helper", 1000), &built, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.peer.executable.value_or("(unreadable)") + " as " +
                 std::to_string(row.peer.uid));
    EXPECT_EQ(!whyRefused(row.peer, *row.requirement).has_value(), row.accepted);
  }
  EXPECT_EQ(whyRefused(peer(1000, "/usr/bin/python3"), client),
            "it runs /usr/bin/python3 instead of /usr/bin/brimwell");
  EXPECT_EQ(whyRefused(peer(0, "/usr/libexec/brimwell/brimwell-helper", 1000), helper),
            "its executable is not owned and protected by root");
  EXPECT_EQ(whyRefused(peer(1000, "/build/brimwell-helper", 0), built),
            "its executable is not owned and protected by user 1000");
}

TEST(PeerIdentityTest, ReadsTheCredentialsAndExecutableOfTheOtherEnd) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  auto peer = readPeerIdentity(pair[0]);
  ::close(pair[0]);
  ::close(pair[1]);
  ASSERT_TRUE(peer);
  EXPECT_EQ(peer->pid, ::getpid());
  EXPECT_EQ(peer->uid, ::geteuid());
  EXPECT_EQ(peer->executable, canonicalExecutablePath("/proc/self/exe"));
}

}  // namespace
}  // namespace brimwell
