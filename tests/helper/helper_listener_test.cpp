// The listener's bounds on connections, run in this process with short time limits.
#include "helper/helper_listener.h"

#include <poll.h>

#include <gtest/gtest.h>

#include "helper/listening_socket.h"
#include "helper/process_command_runner.h"
#include "tests/helper/daemon_process.h"

namespace brimwell {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct AllowAll : CallAuthority {
  Authorization authorize(const PeerProcess&, HelperAction) override {
    return {Authorization::Verdict::allowed, ""};
  }
};

class HelperListenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fd = bindSocket(socket);
    ASSERT_TRUE(fd);
    listener = std::make_unique<HelperListener>(
        *fd,
        HelperListenerDelegate{
            [] { return std::make_unique<AllowAll>(); }, std::make_shared<ProcessCommandRunner>(),
            std::make_shared<HelperRecordStore>(pmset.directory() + "/r.json", ::geteuid()), 7,
            idle, pmset.path(), limits});
    serving = std::thread([this] { listener->run(); });
  }
  void TearDown() override {
    listener->stop();
    serving.join();
  }

  // Milliseconds until the peer closes `fd`, reading and dropping anything it sends first.
  static long millisecondsUntilClosed(int fd) {
    const auto start = Clock::now();
    char buffer[256];
    while (::recv(fd, buffer, sizeof(buffer), 0) > 0) {
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  }

  HelperConnectionLimits limits{8, 300ms, 600ms};
  FakePmset pmset;
  std::string socket = pmset.directory() + "/helper.sock";
  std::shared_ptr<IdleExit> idle = std::make_shared<IdleExit>(600, [] {});
  std::unique_ptr<HelperListener> listener;
  std::thread serving;
};

TEST_F(HelperListenerTest, AnIncompleteOrSilentConnectionIsClosedAndNoLongerCounts) {
  int silent = connectTo(socket);
  int partial = connectTo(socket);
  int chatty = connectTo(socket);
  ::send(partial, "{\"id\":1", 7, MSG_NOSIGNAL);
  // Each reply restarts the silence limit: four requests 400 ms apart outlast it twice over.
  std::thread talking([&] {
    for (int id = 1; id <= 4; ++id) {
      std::this_thread::sleep_for(400ms);
      const std::string expected = "{\"id\":" + std::to_string(id) + ",\"version\":7}";
      EXPECT_EQ(
          exchangeLine(chatty, "{\"id\":" + std::to_string(id) + ",\"op\":\"helperVersion\"}\n"),
          expected);
    }
  });
  const long partialClosed = millisecondsUntilClosed(partial);
  EXPECT_GE(partialClosed, 250);
  EXPECT_LT(partialClosed, 550);
  const long silentClosed = partialClosed + millisecondsUntilClosed(silent);
  EXPECT_GE(silentClosed, 550);
  EXPECT_LT(silentClosed, 1000);
  talking.join();
  EXPECT_EQ(idle->open(), 1);  // only the chatty one
  for (int fd : {silent, partial, chatty}) ::close(fd);
}

class HelperListenerPatientTest : public HelperListenerTest {
 protected:
  HelperListenerPatientTest() { limits = {8, 10s, 60s}; }
};

TEST_F(HelperListenerPatientTest, AHundredSilentConnectionsOfOneUserDelayNoOtherClient) {
  // Root is not limited; any other user holds at most eight, and the rest are told so at once.
  const bool root = ::geteuid() == 0;
  std::vector<int> silent;
  for (int i = 0; i < 100; ++i) silent.push_back(connectTo(socket));
  std::this_thread::sleep_for(200ms);
  int turnedAway = 0;
  int letIn = -1;  // the first connection that was let in, whichever the listener took first
  for (int fd : silent) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 0) != 1) {
      if (letIn < 0) letIn = fd;
    } else {
      EXPECT_EQ(exchangeLine(fd, ""),
                R"({"id":null,"message":"The Brimwell helper already serves 8 connections of )"
                R"(this user; close one and try again."})");
      ++turnedAway;
    }
  }
  EXPECT_EQ(turnedAway, root ? 0 : 92);

  // A fresh client when it can be one; otherwise one of the eight that were let in.
  ASSERT_GE(letIn, 0);
  int client = root ? connectTo(socket) : letIn;
  const auto asked = Clock::now();
  EXPECT_EQ(exchangeLine(client, "{\"id\":1,\"op\":\"lowPowerMode\"}\n"), R"({"id":1,"on":false})");
  EXPECT_LT(Clock::now() - asked, 1s);
  if (root) ::close(client);
  for (int fd : silent) ::close(fd);
}

}  // namespace
}  // namespace brimwell
