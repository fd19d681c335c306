#include "core/helper/peer_identity.h"

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
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.peer.executable.value_or("(unreadable)") + " as " +
                 std::to_string(row.peer.uid));
    EXPECT_EQ(!whyRefused(row.peer, *row.requirement).has_value(), row.accepted);
  }
  EXPECT_EQ(whyRefused(peer(1000, "/usr/bin/python3"), client),
            "it runs /usr/bin/python3 instead of /usr/bin/brimwell");
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
