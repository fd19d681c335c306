#include "helper/helper_listener.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <future>

#include "brimwell/core/helper/helper_client.h"
#include "helper/listening_socket.h"
#include "tests/helper/daemon_process.h"

namespace brimwell {
namespace {

constexpr double idle = 0.4;

TEST(HelperDaemonTest, ExitsTheIdleTimeAfterStartOrAfterTheLastConnectionCloses) {
  DaemonProcess lonely(idle), served(idle);
  int first = connectTo(served.socketPath());
  int second = connectTo(served.socketPath());
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_EQ(exchangeLine(first, "{\"id\":1,\"op\":\"helperVersion\"}\n"),
            R"({"id":1,"version":2})");
  EXPECT_EQ(served.waitExit(idle * 2), std::nullopt);  // connected for longer than the idle time
  ASSERT_EQ(lonely.waitExit(idle + 2), 0);
  EXPECT_GE(lonely.secondsRun(), idle);
  ::close(first);
  EXPECT_EQ(served.waitExit(idle * 2), std::nullopt);  // one is still open
  auto closed = std::chrono::steady_clock::now();
  ::close(second);
  ASSERT_EQ(served.waitExit(idle + 2), 0);
  EXPECT_GE(std::chrono::duration<double>(served.ended - closed).count(), idle);
}

TEST(HelperDaemonTest, HostileInputIsAnsweredOrCutOffWhileAWellBehavedClientIsServed) {
  DaemonProcess daemon(5);
  daemon.pmset.logRuns();
  int good = connectTo(daemon.socketPath());
  int n = 0;
  auto stillServed = [&] {
    ++n;
    return exchangeLine(good, "{\"id\":" + std::to_string(n) + ",\"op\":\"lowPowerMode\"}\n") ==
           "{\"id\":" + std::to_string(n) + ",\"on\":false}";
  };
  ASSERT_TRUE(stillServed());

  int garbage = connectTo(daemon.socketPath());
  EXPECT_EQ(exchangeLine(garbage, "\x01\xff{{{\n"),
            R"({"id":null,"message":"The request is not a JSON object."})");
  EXPECT_EQ(exchangeLine(garbage, "{\"id\":9,\"op\":\"rm -rf /\"}\n"),
            R"({"id":9,"message":"The helper has no operation named \"rm -rf /\"."})");
  EXPECT_TRUE(stillServed());

  // More than 64 KiB without a newline, and one over-long line: both connections are closed.
  for (const std::string& flood : {std::string(70 * 1024, 'x'),
                                   "{\"id\":1,\"op\":\"" + std::string(65 * 1024, 'y') + "\"}\n"}) {
    int hostile = connectTo(daemon.socketPath());
    EXPECT_EQ(exchangeLine(hostile, flood), "");
    ::close(hostile);
    EXPECT_TRUE(stillServed());
  }

  // A client that half-closes after its request still gets its one reply, then the end.
  int half = connectTo(daemon.socketPath());
  const std::string request = "{\"id\":5,\"op\":\"batteryHibernateMode\"}\n{\"id\":6,\"op\":";
  ::send(half, request.data(), request.size(), 0);
  ::shutdown(half, SHUT_WR);
  EXPECT_EQ(exchangeLine(half, ""), R"({"id":5,"mode":3})");
  EXPECT_EQ(exchangeLine(half, ""), "");
  ::close(half);
  ::close(garbage);
  EXPECT_TRUE(stillServed());
  ::close(good);
  // Only the well-behaved client's reads (and the half-closed one's) ever ran the tool.
  EXPECT_EQ(daemon.pmset.log().size(), 2u * (static_cast<std::size_t>(n) + 1));
}

// The daemon's command line, run as a user would: --help prints the usage, a wrong option says
// what is wrong in a sentence and how to learn more.
TEST(HelperDaemonTest, HelpAndBadOptionsAreAnsweredInWords) {
  const auto run = [](const std::string& arguments) {
    FILE* pipe = ::popen(
        (std::string(BRIMWELL_HELPER_DAEMON_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, n);
    const int status = ::pclose(pipe);
    return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
  };
  const auto [helpStatus, help] = run("--help");
  EXPECT_EQ(helpStatus, 0);
  EXPECT_TRUE(help.starts_with("Usage: brimwell-helper")) << help;
  const auto [badStatus, bad] = run("--bogus");
  EXPECT_EQ(badStatus, 64);
  EXPECT_EQ(bad,
            "The Brimwell helper has no option --bogus.\nRun brimwell-helper --help for its "
            "options.\n");
}

TEST(HelperDaemonTest, ServesASocketHandedOverByTheServiceManager) {
  testing::TempDir dir;
  const std::string path = (dir / "activated.sock").string();
  auto listening = bindSocket(path);
  ASSERT_TRUE(listening);
  DaemonProcess daemon(5, {}, *listening);
  ::close(*listening);
  int fd = connectTo(path);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(exchangeLine(fd, "{\"id\":3,\"op\":\"helperVersion\"}\n"), R"({"id":3,"version":2})");
  ::close(fd);
  EXPECT_NE(::access(daemon.socketPath().c_str(), F_OK), 0);  // it bound nothing of its own
}

TEST(HelperDaemonTest, TheClientDrivesSafeLandingThroughTheDaemon) {
  DaemonProcess daemon(5);
  HelperClientOptions options = HelperClientOptions::defaults();
  options.socketPath = daemon.socketPath();
  // The daemon runs as the user running the test, from the executable that user built.
  options.helper = {canonicalExecutablePath(BRIMWELL_HELPER_DAEMON_PATH), ::geteuid(), false,
                    ::geteuid()};
  options.timeout = [](HelperCall) { return 5.0; };
  HelperClient client(options);
  auto status = [&](void (HelperClient::*operation)(Completion<Status>)) {
    std::promise<Status> done;
    (client.*operation)([&](Status s) { done.set_value(s); });
    return done.get_future().get();
  };
  std::promise<HelperState> state;
  client.state([&](HelperState s) { state.set_value(s); });
  EXPECT_EQ(state.get_future().get(), HelperState(helper_state::Ready{}));

  EXPECT_TRUE(status(&HelperClient::beginSafeLanding));
  EXPECT_EQ(daemon.pmset.state()["battery_hibernatemode"], "25");
  EXPECT_TRUE(std::filesystem::exists(daemon.recordPath()));
  EXPECT_TRUE(status(&HelperClient::endSafeLanding));
  EXPECT_EQ(daemon.pmset.state()["battery_hibernatemode"], "3");
  EXPECT_FALSE(std::filesystem::exists(daemon.recordPath()));
}

}  // namespace
}  // namespace brimwell
