#include "linux/doctor/machine_probe.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>

#include "linux/doctor/doctor_checks.h"
#include "tests/doctor/fake_root.h"
#include "tests/support/private_bus.h"
#include "tests/support/snss_writer.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::put;
using testing::TempDir;

ProbeOptions optionsFor(const TempDir& root) {
  ProbeOptions options;
  options.root = root.path();
  options.busLimit = std::chrono::milliseconds(1500);
  options.helper.socketPath = (root.path() / "run/helper.sock").string();
  options.session.display = ":9";
  options.applicationDirs = {root.path() / "usr/share/applications"};
  options.path = (root.path() / "usr/bin").string();
  options.home = root.path() / "home";
  options.configHome = root.path() / "home/.config";
  options.uid = 1000;  // polkit is asked, whoever runs the test
  return options;
}

// A laptop whose logind can't hibernate, with the mocks a desktop has on its buses: what doctor
// gathers is what the fake tree and the real peers say.
TEST(MachineProbeTest, GathersTheFactsFromTheTreeAndTheBuses) {
  TempDir root;
  testing::writeHibernatingLaptop(root.path());
  put(root.path() / "sys/kernel/security/lockdown", "none [integrity] confidentiality\n");
  put(root.path() / "usr/share/polkit-1/actions/com.tallowgate.brimwell.helper.policy", "<x/>\n");
  put(root.path() / "usr/share/applications/debian-xterm.desktop",
      "[Desktop Entry]\nType=Application\nName=XTerm\nExec=xterm\n");
  put(root.path() / "usr/bin/tmux", "#!/bin/sh\n");
  ::chmod((root.path() / "usr/bin/tmux").c_str(), 0755);
  put(root.path() / "home/.mozilla/firefox/profiles.ini",
      "[Profile0]\nName=default\nIsRelative=1\nPath=abc.default\n");
  // Chromium with two profiles, one with a session it wrote; Brave set up but never run.
  put(root.path() / "home/.config/chromium/Local State",
      R"({"profile":{"info_cache":{"Default":{},"Profile 1":{}}}})");
  put(root.path() / "home/.config/chromium/Profile 1/Sessions/Session_13",
      testing::SnssWriter()
          .windowType(1, 0)
          .tabWindow(1, 2)
          .entry(2, 0, "https://a.example/")
          .bytes());
  std::filesystem::create_directories(root.path() / "home/.config/BraveSoftware/Brave-Browser");

  testing::PrivateBus bus;
  bus.startMock("logind", "org.freedesktop.login1", R"({"CanHibernate": "na"})");
  bus.startMock("polkitd", "org.freedesktop.PolicyKit1");
  bus.mockCall("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority", "SetAllowed",
               "as", 1, "com.tallowgate.brimwell.helper.change");
  bus.startMock("power_profiles_daemon", "net.hadess.PowerProfiles");
  bus.startMock("notification_daemon", "org.freedesktop.Notifications");

  const MachineFacts facts = probeMachine(optionsFor(root));
  EXPECT_EQ(facts.batteryPath, "/sys/class/power_supply/BAT0");
  EXPECT_TRUE(facts.batteryReadable);
  EXPECT_EQ(facts.helper.reach, HelperFacts::Reach::notInstalled);
  EXPECT_TRUE(facts.authorization.policyInstalled);
  EXPECT_EQ(facts.authorization.mayChange, AuthorizationFacts::Answer::allowed);
  EXPECT_EQ(facts.canHibernate, (BusAnswer{"na", ""}));
  EXPECT_EQ(facts.canSuspend, (BusAnswer{"yes", ""}));
  EXPECT_EQ(facts.hibernation.lockdown, "integrity");
  EXPECT_EQ(facts.powerProfile, (BusAnswer{"balanced", ""}));
  EXPECT_EQ(facts.panelBacklight, "intel_backlight");
  EXPECT_EQ(facts.logindSession.value, "/org/freedesktop/login1/session/auto");
  EXPECT_EQ(facts.desktop, DesktopBackendKind::x11);
  EXPECT_EQ(facts.notificationServer, (BusAnswer{"mock-notify 1.0", ""}));
  EXPECT_EQ(facts.applications.desktopIDs, std::vector<std::string>{"debian-xterm"});
  EXPECT_TRUE(facts.applications.tmuxInstalled);
  EXPECT_FALSE(facts.applications.emacsclientInstalled);
  EXPECT_EQ(facts.applications.browserSessions,
            (std::map<BrowserKind, BrowserSessionFacts>{{BrowserKind::firefox, {1, 0}},
                                                        {BrowserKind::chromium, {2, 1}},
                                                        {BrowserKind::brave, {1, 0}}}));

  const auto rows = doctorRows(facts);
  EXPECT_FALSE(safeLandingCanWork(rows));
  for (const auto& row : rows) {
    if (row.check == "Hibernate") {
      EXPECT_EQ(row.sentence, "logind answers na to CanHibernate (see Lockdown).");
    }
    if (row.check == "Brave") {
      EXPECT_EQ(row.sentence,
                "Brave is installed, but its profile has no session file Brimwell "
                "can read.");
    }
  }

  // polkit saying no, and power-profiles-daemon gone from the bus: the platform profile remains.
  bus.mockCall("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority", "SetAllowed",
               "as", 0);
  const MachineFacts refused = probeMachine(optionsFor(root));
  EXPECT_EQ(refused.authorization.mayChange, AuthorizationFacts::Answer::denied);
}

TEST(MachineProbeTest, AbsentPeersAreSaidInASentence) {
  TempDir root;
  testing::PrivateBus bus;  // a bus with nobody on it
  const MachineFacts facts = probeMachine(optionsFor(root));
  EXPECT_FALSE(facts.batteryPath);
  EXPECT_EQ(facts.canHibernate.failure,
            "nothing on the system bus answers to org.freedesktop.login1");
  EXPECT_EQ(facts.authorization.failure,
            "nothing on the system bus answers to org.freedesktop.PolicyKit1");
  EXPECT_EQ(facts.powerProfile, BusAnswer{});  // simply not there
  EXPECT_EQ(facts.notificationServer.failure,
            "nothing on the session bus answers to org.freedesktop.Notifications");
  EXPECT_FALSE(facts.platformProfile);
  EXPECT_FALSE(facts.authorization.policyInstalled);
}

// A frozen bus daemon accepts the connection and answers nothing: every call gives up at the
// limit, and the bus is given up after its first silence, so the whole run stays short.
TEST(MachineProbeTest, ASilentBusCannotHangIt) {
  TempDir root;
  testing::PrivateBus bus;
  bus.freeze();
  auto options = optionsFor(root);
  options.busLimit = std::chrono::milliseconds(500);
  const auto started = std::chrono::steady_clock::now();
  const MachineFacts facts = probeMachine(options);
  const auto took = std::chrono::steady_clock::now() - started;
  bus.thaw();
  EXPECT_LT(took, std::chrono::seconds(4));
  EXPECT_EQ(facts.canHibernate.failure, "the system bus didn't answer within 500 milliseconds");
  EXPECT_EQ(facts.canSuspend.failure, "the system bus didn't answer within 500 milliseconds");
  EXPECT_EQ(facts.notificationServer.failure,
            "the session bus didn't answer within 500 milliseconds");
}

// A socket where the helper's should be, held by a process that isn't the installed helper.
TEST(MachineProbeTest, AHelperSocketOfAnotherProgramIsUnreachable) {
  TempDir root;
  std::filesystem::create_directories(root.path() / "run");
  const auto socketPath = root.path() / "run/helper.sock";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  testing::PrivateBus bus;
  const MachineFacts facts = probeMachine(optionsFor(root));
  ::close(listener);
  EXPECT_EQ(facts.helper.reach, HelperFacts::Reach::unreachable);
  EXPECT_FALSE(facts.helper.reason.empty());
}

}  // namespace
}  // namespace brimwell
