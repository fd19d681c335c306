// The daemon's per-call authorisation against a real polkit peer on a private system bus, asked
// about unprivileged peers (the "nobody" user when the tests run as root, else this user).
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "helper/call_authority.h"
#include "tests/helper/daemon_process.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

const char* const polkit = "org.freedesktop.PolicyKit1";
const char* const authority = "/org/freedesktop/PolicyKit1/Authority";
const char* const readAction = "com.tallowgate.brimwell.helper.read";
const char* const changeAction = "com.tallowgate.brimwell.helper.change";

// Run in a forked child: drops root for "nobody" (when root) and does the rest unprivileged.
bool dropToNobody() {
  if (::geteuid() != 0) return true;
  struct passwd* nobody = ::getpwnam("nobody");
  return nobody != nullptr && ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 &&
         ::setuid(nobody->pw_uid) == 0;
}

// An unprivileged child process that sends one request and hands back the reply line.
class Asker {
 public:
  // With `forkAfterConnect`, the process that connected execs another program and a forked
  // copy of it, still holding the connection, sends the request.
  Asker(const std::string& socket, const std::string& request, bool forkAfterConnect = false) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    const std::string line = request + "\n";
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      if (!dropToNobody()) ::_exit(1);
      int fd = connectTo(socket);
      timeval patience{10, 0};  // longer than the authority may take
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof(patience));
      if (forkAfterConnect && ::fork() != 0) {
        ::execl("/bin/sleep", "sleep", "3", static_cast<char*>(nullptr));
        ::_exit(127);
      }
      std::string reply = fd < 0 ? "no connection" : exchangeLine(fd, line);
      ssize_t ignored = ::write(fds[1], reply.data(), reply.size());
      (void)ignored;
      ::_exit(0);
    }
    ::close(fds[1]);
    fd_ = fds[0];
  }
  ~Asker() {
    if (fd_ >= 0) ::close(fd_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }

  // The reply, once the child has it.
  std::string reply() {
    std::string text;
    char buffer[512];
    for (ssize_t count; (count = ::read(fd_, buffer, sizeof(buffer))) > 0;) {
      text.append(buffer, static_cast<std::size_t>(count));
    }
    answered = Clock::now();
    return text;
  }

  Clock::time_point answered;

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

std::string refusal(int id, HelperAction action, Authorization::Verdict verdict) {
  return "{\"id\":" + std::to_string(id) + ",\"message\":\"" +
         refusalSentence(action, {verdict, ""}) + "\"}";
}

class HelperAuthorizationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bus.startMock("polkitd", polkit);
    daemon = std::make_unique<DaemonProcess>(30);
    daemon->pmset.logRuns();
    // The unprivileged peer must be able to reach the socket in the test's directory.
    ::chmod(daemon->pmset.directory().c_str(), 0755);
  }

  testing::PrivateBus bus;
  std::unique_ptr<DaemonProcess> daemon;
};

TEST_F(HelperAuthorizationTest, EachCallIsAnsweredAsPolkitRules) {
  using Verdict = Authorization::Verdict;
  const struct {
    const char* allowed;
    const char* request;
    std::string reply;
  } rows[] = {
      {readAction, R"({"id":1,"op":"lowPowerMode"})", R"({"id":1,"on":false})"},
      {readAction, R"({"id":2,"op":"sleepNow"})",
       refusal(2, HelperAction::change, Verdict::denied)},
      {changeAction, R"({"id":3,"op":"batteryHibernateMode"})",
       refusal(3, HelperAction::read, Verdict::denied)},
      {changeAction, R"({"id":4,"op":"beginSafeLanding"})", R"({"id":4})"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.request);
    bus.mockCall(polkit, authority, "SetAllowed", "as", 1, row.allowed);
    EXPECT_EQ(Asker(daemon->socketPath(), row.request).reply(), row.reply);
  }
  // Only the two allowed calls ran the tool: one read, and Safe Landing's read, set and check.
  EXPECT_EQ(daemon->pmset.log().size(), 2u * 4u);
  EXPECT_EQ(daemon->pmset.state()["battery_hibernatemode"], "25");
  EXPECT_EQ(daemon->pmset.state()["sleeps"], "0");
}

TEST_F(HelperAuthorizationTest, AHangingAuthorityRefusesAfterFiveSecondsAndHoldsUpNoOneElse) {
  using Verdict = Authorization::Verdict;
  for (const char* hanging : {readAction, changeAction}) {
    SCOPED_TRACE(hanging);
    const bool readHangs = hanging == readAction;
    bus.mockCall(polkit, authority, "SetAllowed", "as", 2, readAction, changeAction);
    bus.mockCall(polkit, authority, "SimulateHangActions", "as", 1, hanging);
    const auto asked = Clock::now();
    Asker stuck(daemon->socketPath(), readHangs ? R"({"id":1,"op":"lowPowerMode"})"
                                                : R"({"id":1,"op":"setLowPowerMode","on":true})");
    Asker other(daemon->socketPath(), readHangs ? R"({"id":2,"op":"setLowPowerMode","on":true})"
                                                : R"({"id":2,"op":"lowPowerMode"})");
    // The second round reads what the first round's change set.
    EXPECT_EQ(other.reply(), readHangs ? R"({"id":2})" : R"({"id":2,"on":true})");
    EXPECT_LT(other.answered - asked, std::chrono::seconds(1));
    EXPECT_EQ(stuck.reply(), refusal(1, readHangs ? HelperAction::read : HelperAction::change,
                                     Verdict::unanswered));
    EXPECT_GE(stuck.answered - asked, std::chrono::milliseconds(4900));
    EXPECT_LT(stuck.answered - asked, std::chrono::milliseconds(6500));
  }
  // One setLowPowerMode ran (two tool runs), one lowPowerMode (one): nothing for the refused.
  EXPECT_EQ(daemon->pmset.log().size(), 2u * 3u);
}

// A bus that accepts connections and never answers (a frozen dbus-daemon) refuses each call
// within the same five seconds, connecting included, and again for the next call.
TEST_F(HelperAuthorizationTest, AFrozenBusRefusesEachCallAfterFiveSeconds) {
  bus.freeze();
  for (int id = 1; id <= 2; ++id) {
    const auto asked = Clock::now();
    Asker asker(daemon->socketPath(),
                R"({"id":)" + std::to_string(id) + R"(,"op":"lowPowerMode"})");
    EXPECT_EQ(asker.reply(), refusal(id, HelperAction::read, Authorization::Verdict::unanswered));
    EXPECT_GE(asker.answered - asked, std::chrono::milliseconds(4900));
    EXPECT_LT(asker.answered - asked, std::chrono::milliseconds(6500));
  }
  bus.thaw();
  bus.mockCall(polkit, authority, "SetAllowed", "as", 1, readAction);
  EXPECT_EQ(Asker(daemon->socketPath(), R"({"id":3,"op":"lowPowerMode"})").reply(),
            R"({"id":3,"on":false})");
  EXPECT_TRUE(daemon->pmset.log().size() >= 1u);
}

TEST_F(HelperAuthorizationTest, ANobodyPeerAndItsForkedSiblingCannotChangeAnything) {
  if (::geteuid() != 0) GTEST_SKIP() << "Acting as the nobody user needs root.";
  // Like polkit itself: the subject must be the live process it names (its uid and start time),
  // reads are open to all, and changes only to a user with an active session (not nobody).
  const std::string rule =
      "import os\n"
      "s = args[0][1]\n"
      "pid = int(s['pid'])\n"
      "stat = open('/proc/%d/stat' % pid).read()\n"
      "start = int(stat[stat.rindex(')') + 2:].split()[19])\n"
      "genuine = start == int(s['start-time']) and os.stat('/proc/%d' % pid).st_uid == "
      "int(s['uid'])\n"
      "ret = (genuine and (args[1] == '" +
      std::string(readAction) + "' or int(s['uid']) == 4242), False, {})\n";
  bus.mockCall(polkit, authority, "AddMethod", "sssss", "org.freedesktop.PolicyKit1.Authority",
               "CheckAuthorization", "(sa{sv})sa{ss}us", "(bba{ss})", rule.c_str());

  EXPECT_EQ(Asker(daemon->socketPath(), R"({"id":1,"op":"batteryHibernateMode"})").reply(),
            R"({"id":1,"mode":3})");
  EXPECT_EQ(Asker(daemon->socketPath(), R"({"id":2,"op":"sleepNow"})").reply(),
            refusal(2, HelperAction::change, Authorization::Verdict::denied));
  // The connecting process runs another program now; the copy that kept the connection asks.
  EXPECT_EQ(Asker(daemon->socketPath(), R"({"id":3,"op":"sleepNow"})", true).reply(),
            refusal(3, HelperAction::change, Authorization::Verdict::denied));
  EXPECT_EQ(daemon->pmset.log().size(), 2u);  // the one read
  EXPECT_EQ(daemon->pmset.state()["sleeps"], "0");
}

TEST_F(HelperAuthorizationTest, WithoutPolkitOnTheBusEveryUnprivilegedCallIsRefused) {
  auto bare = std::make_unique<testing::PrivateBus>();  // the daemon's bus now has no polkit
  DaemonProcess alone(30);
  ::chmod(alone.pmset.directory().c_str(), 0755);
  std::string reply = Asker(alone.socketPath(), R"({"id":1,"op":"helperVersion"})").reply();
  EXPECT_EQ(reply.rfind(R"({"id":1,"message":"The Brimwell helper refused the call because )"
                        R"(polkit cannot be asked ()",
                        0),
            0u)
      << reply;
}

}  // namespace
}  // namespace brimwell
