#include "linux/doctor/doctor_checks.h"

#include <gtest/gtest.h>

#include <functional>

namespace brimwell {
namespace {

// The facts of a laptop on which everything works.
MachineFacts workingLaptop() {
  MachineFacts facts;
  facts.batteryPath = "/sys/class/power_supply/BAT0";
  facts.batteryReadable = true;
  facts.powerSupplyDir = "/sys/class/power_supply";
  facts.helper = {HelperFacts::Reach::ready, "", 2, "/run/helper.sock"};
  facts.authorization = {true, "/usr/share/polkit-1/actions/x.policy",
                         AuthorizationFacts::Answer::allowed, ""};
  facts.canHibernate = {"yes", ""};
  facts.canHybridSleep = {"yes", ""};
  facts.canSuspend = {"yes", ""};
  facts.hibernation.memTotalKiB = 8 * 1024 * 1024;
  facts.hibernation.swapTotalKiB = 8 * 1024 * 1024;
  facts.hibernation.swaps = std::vector<SwapArea>{{"/dev/sda3", 8 * 1024 * 1024}};
  facts.hibernation.resumeDevice = "8:3";
  facts.hibernation.diskModes = std::vector<std::string>{"platform", "shutdown"};
  facts.hibernation.sleepStates = std::vector<std::string>{"mem", "disk"};
  facts.powerProfile = {"balanced", ""};
  facts.panelBacklight = "intel_backlight";
  facts.backlightDir = "/sys/class/backlight";
  facts.logindSession = {"/org/freedesktop/login1/session/_32", ""};
  facts.desktop = DesktopBackendKind::x11;
  facts.notificationServer = {"dunst 1.9.0", ""};
  facts.applications.desktopIDs = {"firefox-esr", "debian-xterm"};
  facts.applications.browserSessions[BrowserKind::firefox] = {1, 1};
  return facts;
}

const DoctorRow& rowNamed(const std::vector<DoctorRow>& rows, const std::string& check) {
  for (const auto& row : rows) {
    if (row.check == check) return row;
  }
  throw std::runtime_error("no row " + check);
}

TEST(DoctorChecksTest, AWorkingLaptopPassesEveryRow) {
  const auto rows = doctorRows(workingLaptop());
  for (const auto& row : rows) EXPECT_TRUE(row.ok) << row.check << ": " << row.sentence;
  EXPECT_TRUE(safeLandingCanWork(rows));
  std::vector<std::string> checks;
  for (const auto& row : rows) checks.push_back(row.check);
  EXPECT_EQ(checks,
            (std::vector<std::string>{
                "Battery", "Helper", "Polkit policy", "Power settings", "Hibernate", "Swap",
                "Resume device", "Lockdown", "Hibernation mode", "Hybrid sleep", "Suspend",
                "Low Power Mode", "Dimming", "Desktop", "Notifications", "Firefox", "xterm"}));
  EXPECT_EQ(rowNamed(rows, "Swap").sentence, "Swap of 8.0 GiB holds the 8.0 GiB of memory.");
  EXPECT_EQ(rowNamed(rows, "Hibernate").sentence, "logind answers yes to CanHibernate.");
  EXPECT_EQ(rowNamed(rows, "Helper").sentence, "The helper daemon answers, version 2.");
}

struct HibernationCase {
  const char* name;
  std::function<void(HibernationFacts&)> change;
  std::string check;
  std::string sentence;
  std::string fix;
};

// Each cause of an impossible hibernation, with its own sentence and what to do.
TEST(DoctorChecksTest, EachHibernationCauseHasItsSentence) {
  const std::string kernelFix = "Use a kernel built with hibernation support (CONFIG_HIBERNATION).";
  const std::vector<HibernationCase> cases = {
      {"no swap", [](auto& f) { f.swaps->clear(); }, "Swap",
       "There is no swap, so memory has nowhere to be written.",
       "Add a swap partition or swap file of at least 8.0 GiB (the size of memory) and name it in "
       "resume= on the kernel command line."},
      {"only zram",
       [](auto& f) {
         f.swaps = std::vector<SwapArea>{{"/dev/zram0", 99999999}};
       },
       "Swap", "The only swap is compressed memory (zram), which can't hold a hibernation image.",
       "Add a swap partition or swap file of at least 8.0 GiB (the size of memory) and name it in "
       "resume= on the kernel command line."},
      {"small swap",
       [](auto& f) {
         f.swaps = std::vector<SwapArea>{{"/swapfile", 2097152}};
       },
       "Swap",
       "Swap of 2.0 GiB is smaller than the 8.0 GiB of memory, so a full memory image may "
       "not fit.",
       "Grow swap to at least 8.0 GiB (a larger swap partition or swap file)."},
      {"no meminfo", [](auto& f) { f.memTotalKiB.reset(); }, "Swap",
       "/proc/meminfo can't be read, so swap can't be weighed against memory.",
       "Run brimwell doctor where /proc is mounted."},
      {"no resume", [](auto& f) { f.resumeDevice = "0:0"; }, "Resume device",
       "Neither resume= on the kernel command line nor /sys/power/resume names a device to resume "
       "from, so a hibernated session would be lost at the next start.",
       "Add resume= with your swap device to the kernel command line (for example in "
       "GRUB_CMDLINE_LINUX of /etc/default/grub, then run update-grub) and restart."},
      {"integrity lockdown", [](auto& f) { f.lockdown = "integrity"; }, "Lockdown",
       "The kernel is locked down (integrity in /sys/kernel/security/lockdown), which forbids "
       "hibernation.",
       "Turn off Secure Boot in the firmware's settings (the kernel locks itself down under it) "
       "and restart."},
      {"confidentiality lockdown", [](auto& f) { f.lockdown = "confidentiality"; }, "Lockdown",
       "The kernel is locked down (confidentiality in /sys/kernel/security/lockdown), which "
       "forbids hibernation.",
       "Turn off Secure Boot in the firmware's settings (the kernel locks itself down under it) "
       "and restart."},
      {"no disk state",
       [](auto& f) {
         f.sleepStates = std::vector<std::string>{"freeze", "mem"};
       },
       "Hibernation mode", "The kernel offers no hibernation (/sys/power/state lacks disk).",
       kernelFix},
      {"no disk file", [](auto& f) { f.diskModes.reset(); }, "Hibernation mode",
       "/sys/power/disk is missing, so the kernel can't hibernate.", kernelFix},
      {"no usable mode", [](auto& f) { f.diskModes = std::vector<std::string>{"suspend"}; },
       "Hibernation mode", "/sys/power/disk offers none of platform, shutdown or reboot.",
       kernelFix},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.name);
    MachineFacts facts = workingLaptop();
    facts.canHibernate = {"na", ""};
    each.change(facts.hibernation);
    const auto rows = doctorRows(facts);
    const auto& row = rowNamed(rows, each.check);
    EXPECT_FALSE(row.ok);
    EXPECT_EQ(row.sentence, each.sentence);
    EXPECT_EQ(row.fix, each.fix);
    const auto& hibernate = rowNamed(rows, "Hibernate");
    EXPECT_FALSE(hibernate.ok);
    EXPECT_EQ(hibernate.sentence, "logind answers na to CanHibernate (see " + each.check + ").");
    EXPECT_FALSE(safeLandingCanWork(rows));
    // Only that cause fails among the four.
    int failed = 0;
    for (const auto& cause : hibernationRows(facts.hibernation)) failed += cause.ok ? 0 : 1;
    EXPECT_EQ(failed, 1);
  }
}

TEST(DoctorChecksTest, LogindsAnswerAgainstTheKernelsCauses) {
  MachineFacts facts = workingLaptop();
  facts.canHibernate = {"na", ""};
  auto row = rowNamed(doctorRows(facts), "Hibernate");
  EXPECT_EQ(row.sentence,
            "logind answers na to CanHibernate, and none of the usual causes was found.");
  EXPECT_EQ(row.fix, "See why in systemd-logind's log: journalctl -b -u systemd-logind");

  // logind allowing it doesn't hide a kernel that can't resume.
  facts.canHibernate = {"challenge", ""};
  facts.hibernation.resumeDevice.reset();
  facts.hibernation.lockdown = "integrity";
  row = rowNamed(doctorRows(facts), "Hibernate");
  EXPECT_FALSE(row.ok);
  EXPECT_EQ(row.sentence,
            "logind answers challenge to CanHibernate, but the kernel can't hibernate "
            "safely (see Resume device, Lockdown).");

  facts.hibernation = workingLaptop().hibernation;
  facts.hibernation.resumeDevice.reset();
  facts.hibernation.commandLineResume = "UUID=1234";
  EXPECT_EQ(rowNamed(doctorRows(facts), "Resume device").sentence,
            "The kernel command line names resume=UUID=1234.");
  EXPECT_TRUE(rowNamed(doctorRows(facts), "Hibernate").ok);

  facts.canHibernate = {std::nullopt, "the system bus didn't answer within 2 seconds"};
  row = rowNamed(doctorRows(facts), "Hibernate");
  EXPECT_EQ(
      row.sentence,
      "logind couldn't be asked CanHibernate (the system bus didn't answer within 2 seconds).");
  EXPECT_FALSE(safeLandingCanWork(doctorRows(facts)));
}

struct RowCase {
  const char* name;
  std::function<void(MachineFacts&)> change;
  std::string check;
  bool ok;
  std::string sentence;
  bool blocksSafeLanding;
};

TEST(DoctorChecksTest, EveryOtherCheckSaysWhatItFound) {
  const std::vector<RowCase> cases = {
      {"no battery", [](auto& f) { f.batteryPath.reset(); }, "Battery", false,
       "No battery was found under /sys/class/power_supply.", true},
      {"unreadable battery", [](auto& f) { f.batteryReadable = false; }, "Battery", false,
       "A battery is at /sys/class/power_supply/BAT0, but its charge can't be read.", true},
      {"helper missing", [](auto& f) { f.helper.reach = HelperFacts::Reach::notInstalled; },
       "Helper", false, "The helper daemon isn't installed (there is no /run/helper.sock).", true},
      {"helper unreachable",
       [](auto& f) {
         f.helper.reach = HelperFacts::Reach::unreachable;
         f.helper.reason = "The helper daemon isn't the installed one.";
       },
       "Helper", false,
       "The helper daemon can't be reached (The helper daemon isn't the installed one).", true},
      {"helper version", [](auto& f) { f.helper.version = 3; }, "Helper", false,
       "The helper daemon answers with version 3, but this Brimwell speaks version 2.", true},
      {"no policy", [](auto& f) { f.authorization.policyInstalled = false; }, "Polkit policy",
       false,
       "The helper's polkit actions aren't installed (there is no "
       "/usr/share/polkit-1/actions/x.policy).",
       false},
      {"root", [](auto& f) { f.authorization.mayChange = AuthorizationFacts::Answer::root; },
       "Power settings", true, "Root may change power settings without asking polkit.", false},
      {"denied", [](auto& f) { f.authorization.mayChange = AuthorizationFacts::Answer::denied; },
       "Power settings", false, "polkit doesn't let this user change power settings.", true},
      {"password",
       [](auto& f) { f.authorization.mayChange = AuthorizationFacts::Answer::needsPassword; },
       "Power settings", false,
       "polkit would ask this user for a password, which the helper never asks for, so it would "
       "refuse.",
       true},
      {"no polkit",
       [](auto& f) {
         f.authorization.mayChange.reset();
         f.authorization.failure =
             "nothing on the system bus answers to org.freedesktop.PolicyKit1";
       },
       "Power settings", false,
       "polkit couldn't be asked whether this user may change power settings (nothing on the "
       "system bus answers to org.freedesktop.PolicyKit1).",
       true},
      {"no hybrid sleep",
       [](auto& f) {
         f.canHybridSleep = {"no", ""};
       },
       "Hybrid sleep", false,
       "logind answers no to CanHybridSleep, and none of the usual causes was found.", false},
      {"platform profile",
       [](auto& f) {
         f.powerProfile = {};
         f.platformProfile = PlatformProfile{"performance", {"low-power", "balanced"}};
       },
       "Low Power Mode", true,
       "The firmware's platform profile switches to low-power (now performance).", false},
      {"profile without low-power",
       [](auto& f) {
         f.powerProfile = {};
         f.platformProfile = PlatformProfile{"quiet", {"quiet", "performance"}};
       },
       "Low Power Mode", false,
       "The firmware's platform profile offers no low-power and balanced pair.", false},
      {"no low power", [](auto& f) { f.powerProfile = {}; }, "Low Power Mode", false,
       "Neither power-profiles-daemon nor a firmware platform profile is there, so Low Power Mode "
       "can't be turned on.",
       false},
      {"no backlight", [](auto& f) { f.panelBacklight.reset(); }, "Dimming", false,
       "No backlight was found under /sys/class/backlight, so the panel can't be dimmed.", false},
      {"no session",
       [](auto& f) {
         f.logindSession = {std::nullopt, "Caller does not belong to any known session."};
       },
       "Dimming", false,
       "logind has no session of this user to dim the panel intel_backlight through (Caller does "
       "not belong to any known session).",
       false},
      {"sway", [](auto& f) { f.desktop = DesktopBackendKind::sway; }, "Desktop", true,
       "sway: applications, windows with their frames and state, the clipboard, and Ctrl+S to "
       "save.",
       false},
      {"KDE Plasma", [](auto& f) { f.desktop = DesktopBackendKind::kde; }, "Desktop", true,
       "KDE Plasma: applications, windows with their frames and state, the clipboard, and Ctrl+S "
       "to save through KWin's fake input.",
       false},
      {"GNOME", [](auto& f) { f.desktop = DesktopBackendKind::gnome; }, "Desktop", true,
       "GNOME: applications, windows with their frames and state, the clipboard (put back in "
       "every type where XWayland runs, else as one), and Ctrl+S to save, through Brimwell's "
       "Shell extension.",
       false},
      {"no desktop", [](auto& f) { f.desktop = DesktopBackendKind::none; }, "Desktop", false,
       "No desktop backend: applications are found through /proc, but their windows aren't.",
       false},
      {"no notifications",
       [](auto& f) {
         f.notificationServer = {std::nullopt,
                                 "the session bus can't be reached: No such file or directory"};
       },
       "Notifications", false,
       "No notification server answers on the session bus (the session bus can't be reached: No "
       "such file or directory), so Brimwell can't tell you anything while it runs.",
       false},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.name);
    MachineFacts facts = workingLaptop();
    each.change(facts);
    const auto rows = doctorRows(facts);
    const auto& row = rowNamed(rows, each.check);
    EXPECT_EQ(row.ok, each.ok);
    EXPECT_EQ(row.sentence, each.sentence);
    EXPECT_EQ(row.fix.empty(), each.ok);
    EXPECT_EQ(safeLandingCanWork(rows), !each.blocksSafeLanding);
  }
}

TEST(DoctorChecksTest, ApplicationsFoundAndWhetherTheirSessionsRead) {
  MachineFacts facts = workingLaptop();
  auto& apps = facts.applications;
  apps.desktopIDs = {"google-chrome",
                     "org.gnome.Terminal",
                     "emacs",
                     "code",
                     "firefox",
                     "org.gnome.gedit",
                     "chromium",
                     "brave-browser",
                     "kitty",
                     "nvim",
                     "vim",
                     "org.gnome.Nautilus",
                     "thunar",
                     "Alacritty",
                     "com.alacritty.Alacritty"};
  apps.tmuxInstalled = true;
  apps.browserSessions = {{BrowserKind::firefox, {2, 0}},
                          {BrowserKind::chromium, {1, 1}},
                          {BrowserKind::brave, {3, 2}}};
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& row : doctorRows(facts)) {
    if (row.check == "Notifications")
      found.clear();
    else
      found.push_back({(row.ok ? "ok " : "no ") + row.check, row.sentence});
  }
  EXPECT_EQ(
      found,
      (std::vector<std::pair<std::string, std::string>>{
          {"ok Brave", "Its windows and tabs are read from the session files of 2 of 3 profiles."},
          {"ok Chromium", "Its windows and tabs are read from its session file."},
          {"no Firefox",
           "Firefox is installed, but none of its 2 profiles has a session file Brimwell can "
           "read."},
          {"no Google Chrome",
           "Google Chrome is installed but has no profile yet, so it has no tabs to read."},
          {"ok Alacritty", "Its shells' directories are read from /proc."},
          {"ok GNOME Terminal", "Its shells' directories are read from /proc."},
          {"ok kitty",
           "Its tabs are read over its remote control where it listens on a socket "
           "(allow_remote_control and listen_on), else its shells' directories from /proc."},
          {"ok tmux", "Its sessions, windows and panes are read from its server."},
          {"no Emacs", "Emacs is installed, but emacsclient isn't, so it can't be asked to save."},
          {"ok Neovim",
           "It saves its buffers, or rescues those without a file, when asked over its server "
           "sockets."},
          {"ok VS Code", "It keeps its unsaved work by itself."},
          {"no Vim", "This Vim is built without +clientserver, so it can't be asked to save."},
          {"ok Nautilus", "Its folder windows are read and reopened over its bus interface."},
          {"ok Thunar",
           "Its folder windows are read from their titles where these show the folder's whole "
           "path."},
      }));

  apps.vimClientServer = true;
  const auto withVim = doctorRows(facts);
  EXPECT_TRUE(std::any_of(withVim.begin(), withVim.end(),
                          [](const DoctorRow& row) { return row.check == "Vim" && row.ok; }));

  apps = {};
  const auto rows = doctorRows(facts);
  EXPECT_EQ(rows.back().check, "Applications");
  EXPECT_EQ(rows.back().sentence,
            "No browser, terminal, editor or file manager that Brimwell knows was found.");
  EXPECT_TRUE(safeLandingCanWork(rows));  // what is captured doesn't decide Safe Landing
}

}  // namespace
}  // namespace brimwell
