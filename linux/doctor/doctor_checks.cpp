#include "linux/doctor/doctor_checks.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "brimwell/core/helper/brimwell_helper_constants.h"
#include "linux/capture/app_identity.h"

namespace brimwell {
namespace {

DoctorRow pass(std::string check, std::string sentence) {
  return {std::move(check), true, std::move(sentence), "", false};
}

DoctorRow failure(std::string check, std::string sentence, std::string fix) {
  return {std::move(check), false, std::move(sentence), std::move(fix), false};
}

// A sentence made a clause to put in parentheses: its final full stop dropped.
std::string clause(std::string sentence) {
  while (!sentence.empty() && (sentence.back() == '.' || sentence.back() == ' ')) {
    sentence.pop_back();
  }
  return sentence;
}

bool contains(const std::vector<std::string>& list, const std::string& word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

// "yes", or "challenge" (the call would need authorisation, which the helper, being root, has).
bool allows(const BusAnswer& answer) {
  return answer.value && (*answer.value == "yes" || *answer.value == "challenge");
}

DoctorRow swapRow(const HibernationFacts& facts) {
  const std::string check = "Swap";
  const auto usable = usableSwapKiB(facts);
  if (!facts.memTotalKiB || !usable) {
    return failure(check, "/proc/meminfo can't be read, so swap can't be weighed against memory.",
                   "Run brimwell doctor where /proc is mounted.");
  }
  const std::string memory = gibText(*facts.memTotalKiB);
  if (*usable == 0) {
    const bool onlyZram = facts.swaps && !facts.swaps->empty();
    return failure(check,
                   onlyZram ? "The only swap is compressed memory (zram), which can't hold a "
                              "hibernation image."
                            : "There is no swap, so memory has nowhere to be written.",
                   "Add a swap partition or swap file of at least " + memory +
                       " (the size of memory) and name it in resume= on the kernel command line.");
  }
  if (*usable < *facts.memTotalKiB) {
    return failure(check,
                   "Swap of " + gibText(*usable) + " is smaller than the " + memory +
                       " of memory, so a full memory image may not fit.",
                   "Grow swap to at least " + memory + " (a larger swap partition or swap file).");
  }
  return pass(check, "Swap of " + gibText(*usable) + " holds the " + memory + " of memory.");
}

DoctorRow resumeRow(const HibernationFacts& facts) {
  const std::string check = "Resume device";
  if (facts.resumeDevice && *facts.resumeDevice != "0:0") {
    return pass(check,
                "The kernel resumes from device " + *facts.resumeDevice + " (/sys/power/resume).");
  }
  if (facts.commandLineResume) {
    return pass(check, "The kernel command line names resume=" + *facts.commandLineResume + ".");
  }
  return failure(check,
                 "Neither resume= on the kernel command line nor /sys/power/resume names a device "
                 "to resume from, so a hibernated session would be lost at the next start.",
                 "Add resume= with your swap device to the kernel command line (for example in "
                 "GRUB_CMDLINE_LINUX of /etc/default/grub, then run update-grub) and restart.");
}

DoctorRow lockdownRow(const HibernationFacts& facts) {
  const std::string check = "Lockdown";
  if (!facts.lockdown || *facts.lockdown == "none") {
    return pass(check, "The kernel isn't locked down.");
  }
  return failure(check,
                 "The kernel is locked down (" + *facts.lockdown +
                     " in /sys/kernel/security/lockdown), which forbids hibernation.",
                 "Turn off Secure Boot in the firmware's settings (the kernel locks itself down "
                 "under it) and restart.");
}

DoctorRow diskRow(const HibernationFacts& facts) {
  const std::string check = "Hibernation mode";
  const std::string fix = "Use a kernel built with hibernation support (CONFIG_HIBERNATION).";
  if (facts.sleepStates && !contains(*facts.sleepStates, "disk")) {
    return failure(check, "The kernel offers no hibernation (/sys/power/state lacks disk).", fix);
  }
  if (!facts.diskModes) {
    return failure(check, "/sys/power/disk is missing, so the kernel can't hibernate.", fix);
  }
  for (const char* mode : {"platform", "shutdown", "reboot"}) {
    if (contains(*facts.diskModes, mode)) {
      return pass(check, std::string("The kernel hibernates by ") + mode + " (/sys/power/disk).");
    }
  }
  return failure(check, "/sys/power/disk offers none of platform, shutdown or reboot.", fix);
}

DoctorRow batteryRow(const MachineFacts& facts) {
  DoctorRow row;
  if (!facts.batteryPath) {
    row = failure("Battery", "No battery was found under " + facts.powerSupplyDir + ".",
                  "Run Brimwell on a laptop: without a battery it has nothing to watch.");
  } else if (!facts.batteryReadable) {
    row = failure("Battery",
                  "A battery is at " + *facts.batteryPath + ", but its charge can't be read.",
                  "Check that the battery's kernel driver reports capacity or energy.");
  } else {
    row = pass("Battery", "A battery is at " + *facts.batteryPath + ".");
  }
  row.neededForSafeLanding = true;
  return row;
}

DoctorRow helperRow(const HelperFacts& helper) {
  const std::string check = "Helper";
  const std::string install =
      "Install Brimwell and run: sudo systemctl enable --now "
      "com.tallowgate.brimwell.helper.socket";
  DoctorRow row;
  switch (helper.reach) {
    case HelperFacts::Reach::notInstalled:
      row = failure(check,
                    "The helper daemon isn't installed (there is no " + helper.socketPath + ").",
                    install);
      break;
    case HelperFacts::Reach::unreachable:
      row = failure(check, "The helper daemon can't be reached (" + clause(helper.reason) + ").",
                    install);
      break;
    case HelperFacts::Reach::ready:
      if (helper.version && *helper.version != BrimwellHelperConstants::version) {
        row = failure(check,
                      "The helper daemon answers with version " + std::to_string(*helper.version) +
                          ", but this Brimwell speaks version " +
                          std::to_string(BrimwellHelperConstants::version) + ".",
                      "Install the helper daemon built with this Brimwell.");
      } else if (!helper.version) {
        row = failure(check, "The helper daemon answers but doesn't tell its version.",
                      "Install the helper daemon built with this Brimwell.");
      } else {
        row = pass(check,
                   "The helper daemon answers, version " + std::to_string(*helper.version) + ".");
      }
      break;
  }
  row.neededForSafeLanding = true;
  return row;
}

DoctorRow policyRow(const AuthorizationFacts& facts) {
  if (facts.policyInstalled) {
    return pass("Polkit policy", "The helper's polkit actions are in " + facts.policyPath + ".");
  }
  return failure(
      "Polkit policy",
      "The helper's polkit actions aren't installed (there is no " + facts.policyPath + ").",
      "Install Brimwell (sudo cmake --install build) so polkit knows its actions.");
}

DoctorRow changeRow(const AuthorizationFacts& facts) {
  const std::string check = "Power settings";
  const std::string sessionFix =
      "Log in at the machine itself (an active local session may change power settings), or "
      "allow com.tallowgate.brimwell.helper.change with a polkit rule.";
  DoctorRow row;
  if (!facts.mayChange) {
    row = failure(check,
                  "polkit couldn't be asked whether this user may change power settings (" +
                      clause(facts.failure) + ").",
                  "Start polkit: sudo systemctl start polkit");
  } else {
    switch (*facts.mayChange) {
      case AuthorizationFacts::Answer::root:
        row = pass(check, "Root may change power settings without asking polkit.");
        break;
      case AuthorizationFacts::Answer::allowed:
        row = pass(check, "polkit lets this user change power settings through the helper.");
        break;
      case AuthorizationFacts::Answer::needsPassword:
        row = failure(check,
                      "polkit would ask this user for a password, which the helper never asks "
                      "for, so it would refuse.",
                      sessionFix);
        break;
      case AuthorizationFacts::Answer::denied:
        row = failure(check, "polkit doesn't let this user change power settings.", sessionFix);
        break;
    }
  }
  row.neededForSafeLanding = true;
  return row;
}

// One of logind's Can questions; `blocked` says why hibernation can't happen when the kernel
// showed a cause.
DoctorRow canRow(const std::string& check, const std::string& method, const BusAnswer& answer,
                 const std::vector<DoctorRow>& causes) {
  if (!answer.value) {
    return failure(check,
                   "logind couldn't be asked " + method + " (" + clause(answer.failure) + ").",
                   "Brimwell sleeps through systemd-logind; run it where logind is on the system "
                   "bus.");
  }
  std::string blocked;
  for (const auto& cause : causes) {
    if (!cause.ok) blocked += (blocked.empty() ? "" : ", ") + cause.check;
  }
  if (allows(answer) && blocked.empty()) {
    return pass(check, "logind answers " + *answer.value + " to " + method + ".");
  }
  if (allows(answer)) {
    return failure(check,
                   "logind answers " + *answer.value + " to " + method +
                       ", but the kernel can't hibernate safely (see " + blocked + ").",
                   "Fix the rows named.");
  }
  if (!blocked.empty()) {
    return failure(check,
                   "logind answers " + *answer.value + " to " + method + " (see " + blocked + ").",
                   "Fix the rows named.");
  }
  return failure(check,
                 "logind answers " + *answer.value + " to " + method +
                     ", and none of the usual causes was found.",
                 "See why in systemd-logind's log: journalctl -b -u systemd-logind");
}

DoctorRow lowPowerRow(const MachineFacts& facts) {
  const std::string check = "Low Power Mode";
  if (facts.powerProfile.value) {
    return pass(check, "power-profiles-daemon switches to power-saver (now " +
                           *facts.powerProfile.value + ").");
  }
  if (facts.platformProfile) {
    const auto& choices = facts.platformProfile->choices;
    if (contains(choices, "low-power") && contains(choices, "balanced")) {
      return pass(check, "The firmware's platform profile switches to low-power (now " +
                             facts.platformProfile->active + ").");
    }
    return failure(check, "The firmware's platform profile offers no low-power and balanced pair.",
                   "Install and start power-profiles-daemon: sudo apt install "
                   "power-profiles-daemon");
  }
  std::string sentence =
      "Neither power-profiles-daemon nor a firmware platform profile is there, so Low Power Mode "
      "can't be turned on.";
  if (!facts.powerProfile.failure.empty()) {
    sentence = "power-profiles-daemon couldn't be read (" + clause(facts.powerProfile.failure) +
               ") and there is no firmware platform profile, so Low Power Mode can't be turned on.";
  }
  return failure(check, sentence,
                 "Install and start power-profiles-daemon: sudo apt install power-profiles-daemon");
}

DoctorRow dimmingRow(const MachineFacts& facts) {
  const std::string check = "Dimming";
  if (!facts.panelBacklight) {
    return failure(
        check,
        "No backlight was found under " + facts.backlightDir + ", so the panel can't be dimmed.",
        "Nothing to do on an external display; a laptop panel needs its kernel driver's "
        "backlight.");
  }
  if (!facts.logindSession.value) {
    return failure(check,
                   "logind has no session of this user to dim the panel " + *facts.panelBacklight +
                       " through (" + clause(facts.logindSession.failure) + ").",
                   "Run brimwell watch inside your desktop session (its systemd --user unit "
                   "does).");
  }
  return pass(check, "The panel " + *facts.panelBacklight +
                         " is dimmed through logind's SetBrightness, without root.");
}

DoctorRow desktopRow(DesktopBackendKind kind, const std::optional<ExtensionVerdict>& extension) {
  const auto capture = backendCapture(kind);
  const std::string check = "Desktop";
  if (extension && !extension->on) {
    return failure(check, extension->sentence,
                   "Run brimwell setup gnome: it turns the extension on, or says why it can't.");
  }
  if (capture.windows) return pass(check, capture.sentence);
  return failure(
      check, capture.sentence,
      "Use an X11 session (any EWMH window manager), GNOME, KDE Plasma or sway for windows to be "
      "captured.");
}

DoctorRow notificationRow(const BusAnswer& server) {
  if (server.value) {
    return pass("Notifications",
                "The notification server " + *server.value + " shows Brimwell's notices.");
  }
  return failure("Notifications",
                 "No notification server answers on the session bus (" + clause(server.failure) +
                     "), so Brimwell can't tell you anything while it runs.",
                 "Start your desktop's notification service (under a bare window manager, one "
                 "such as dunst or mako).");
}

enum class AppKind { browser, terminal, editor, fileManager };

struct KnownApp {
  std::string name;
  AppKind kind;
  std::optional<BrowserKind> browser = std::nullopt;
};

std::string browserName(BrowserKind kind) {
  switch (kind) {
    case BrowserKind::firefox:
      return "Firefox";
    case BrowserKind::chrome:
      return "Google Chrome";
    case BrowserKind::chromium:
      return "Chromium";
    case BrowserKind::brave:
      return "Brave";
    case BrowserKind::edge:
      return "Microsoft Edge";
    case BrowserKind::vivaldi:
      return "Vivaldi";
    case BrowserKind::safari:
    case BrowserKind::arc:
      break;
  }
  return std::string(toString(kind));
}

std::string terminalName(TerminalKind kind) {
  switch (kind) {
    case TerminalKind::gnomeTerminal:
      return "GNOME Terminal";
    case TerminalKind::konsole:
      return "Konsole";
    case TerminalKind::alacritty:
      return "Alacritty";
    case TerminalKind::xterm:
    case TerminalKind::kitty:
    case TerminalKind::foot:
    case TerminalKind::terminal:
    case TerminalKind::iterm2:
    case TerminalKind::tmux:
      break;
  }
  return std::string(toString(kind));  // xterm, kitty and foot go by their own names
}

// The application a desktop-file ID names, when Brimwell knows it: the browsers and terminals a
// capture recognises, and the editors and file managers of the save pass and the folder windows.
std::optional<KnownApp> knownApp(const std::string& id) {
  if (const auto kind = browserKindOfDesktopID(id)) {
    return KnownApp{browserName(*kind), AppKind::browser, *kind};
  }
  if (const auto kind = terminalKindOfDesktopID(id)) {
    return KnownApp{terminalName(*kind), AppKind::terminal};
  }
  static const std::map<std::string, KnownApp> others = {
      {"emacs", {"Emacs", AppKind::editor}},
      {"emacsclient", {"Emacs", AppKind::editor}},
      {"nvim", {"Neovim", AppKind::editor}},
      {"vim", {"Vim", AppKind::editor}},
      {"gvim", {"Vim", AppKind::editor}},
      {"org.gnome.TextEditor", {"GNOME Text Editor", AppKind::editor}},
      {"code", {"VS Code", AppKind::editor}},
      {"obsidian", {"Obsidian", AppKind::editor}},
      {"org.gnome.Nautilus", {"Nautilus", AppKind::fileManager}},
      {"thunar", {"Thunar", AppKind::fileManager}},
      {"nemo", {"Nemo", AppKind::fileManager}},
      {"caja", {"Caja", AppKind::fileManager}},
      {"org.kde.dolphin", {"Dolphin", AppKind::fileManager}},
      {"pcmanfm", {"PCManFM", AppKind::fileManager}},
  };
  const auto found = others.find(id);
  if (found == others.end()) return std::nullopt;
  return found->second;
}

DoctorRow browserRow(const std::string& name, BrowserKind kind, const ApplicationFacts& apps) {
  const std::string run = "Run " + name + " once: it keeps its session file while it runs.";
  const auto found = apps.browserSessions.find(kind);
  if (found == apps.browserSessions.end()) {
    return failure(name, name + " is installed but has no profile yet, so it has no tabs to read.",
                   run);
  }
  const auto& [profiles, readable] = found->second;
  if (readable == 0) {
    return failure(
        name,
        name + " is installed, but " +
            (profiles == 1 ? "its profile has no"
                           : "none of its " + std::to_string(profiles) + " profiles has a") +
            " session file Brimwell can read.",
        run);
  }
  if (profiles == 1) return pass(name, "Its windows and tabs are read from its session file.");
  return pass(name, "Its windows and tabs are read from the session files of " +
                        std::to_string(readable) + " of " + std::to_string(profiles) +
                        " profiles.");
}

DoctorRow appRow(const KnownApp& app, const ApplicationFacts& apps) {
  const std::string& name = app.name;
  switch (app.kind) {
    case AppKind::browser:
      return browserRow(name, *app.browser, apps);
    case AppKind::terminal:
      if (name == "kitty") {
        return pass(name,
                    "Its tabs are read over its remote control where it listens on a socket "
                    "(allow_remote_control and listen_on), else its shells' directories from "
                    "/proc.");
      }
      if (name == "Konsole") {
        return pass(name,
                    "Its windows' tabs are read over its bus interface, else its shells' "
                    "directories from /proc.");
      }
      return pass(name, "Its shells' directories are read from /proc.");
    case AppKind::fileManager:
      if (name == "Nautilus") {
        return pass(name, "Its folder windows are read and reopened over its bus interface.");
      }
      return pass(name,
                  "Its folder windows are read from their titles where these show the "
                  "folder's whole path.");
    case AppKind::editor:
      break;
  }
  if (name == "Emacs") {
    if (!apps.emacsclientInstalled) {
      return failure(name,
                     "Emacs is installed, but emacsclient isn't, so it can't be asked to save.",
                     "Install emacsclient (it comes with Emacs's own packages).");
    }
    return pass(name, "It saves its buffers when asked through its server (M-x server-start).");
  }
  if (name == "Neovim") {
    return pass(name,
                "It saves its buffers, or rescues those without a file, when asked over its "
                "server sockets.");
  }
  if (name == "Vim") {
    if (!apps.vimClientServer) {
      return failure(name, "This Vim is built without +clientserver, so it can't be asked to save.",
                     "Install a Vim built with it (vim-gtk3), or rely on Vim's swap files "
                     "(vim -r) for what wasn't saved.");
    }
    return pass(name,
                "It saves its buffers, or rescues those it can't save, when asked through its "
                "client-server (gvim, or vim --servername, on an X display).");
  }
  return pass(name, "It keeps its unsaved work by itself.");
}

std::vector<DoctorRow> applicationRows(const ApplicationFacts& apps) {
  std::vector<DoctorRow> rows;
  // Browsers, then terminals, then editors, then file managers, each in name order.
  std::map<std::pair<AppKind, std::string>, KnownApp> found;
  for (const auto& id : apps.desktopIDs) {
    if (auto known = knownApp(id)) found.insert({{known->kind, known->name}, std::move(*known)});
  }
  if (apps.tmuxInstalled) found.insert({{AppKind::terminal, "tmux"}, {"tmux", AppKind::terminal}});
  for (const auto& [key, app] : found) {
    if (key.second == "tmux") {
      rows.push_back(pass("tmux", "Its sessions, windows and panes are read from its server."));
    } else {
      rows.push_back(appRow(app, apps));
    }
  }
  if (rows.empty()) {
    rows.push_back(failure("Applications",
                           "No browser, terminal, editor or file manager that Brimwell knows was "
                           "found.",
                           "Brimwell reads the sessions of Firefox and the Chromium family, tmux "
                           "and the common terminals, and folder windows, and saves through "
                           "Emacs's, Neovim's and Vim's servers."));
  }
  return rows;
}

}  // namespace

std::string gibText(long long kib) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(kib) / (1024.0 * 1024.0));
  return text;
}

std::vector<DoctorRow> hibernationRows(const HibernationFacts& facts) {
  return {swapRow(facts), resumeRow(facts), lockdownRow(facts), diskRow(facts)};
}

BackendCapture backendCapture(DesktopBackendKind kind) {
  switch (kind) {
    case DesktopBackendKind::x11:
      return {true,
              "X11: applications, windows with their frames and state, the clipboard, and "
              "Ctrl+S to save."};
    case DesktopBackendKind::sway:
      return {true,
              "sway: applications, windows with their frames and state, the clipboard, and "
              "Ctrl+S to save."};
    case DesktopBackendKind::gnome:
      return {true,
              "GNOME: applications, windows with their frames and state, the clipboard (put "
              "back in every type where XWayland runs, else as one), and Ctrl+S to save, "
              "through Brimwell's Shell extension."};
    case DesktopBackendKind::kde:
      return {true,
              "KDE Plasma: applications, windows with their frames and state, the clipboard, and "
              "Ctrl+S to save through KWin's fake input."};
    case DesktopBackendKind::none:
      break;
  }
  return {false,
          "No desktop backend: applications are found through /proc, but their windows aren't."};
}

std::vector<DoctorRow> doctorRows(const MachineFacts& facts) {
  std::vector<DoctorRow> rows = {batteryRow(facts), helperRow(facts.helper),
                                 policyRow(facts.authorization), changeRow(facts.authorization)};
  const auto causes = hibernationRows(facts.hibernation);
  DoctorRow hibernate = canRow("Hibernate", "CanHibernate", facts.canHibernate, causes);
  hibernate.neededForSafeLanding = true;
  rows.push_back(hibernate);
  rows.insert(rows.end(), causes.begin(), causes.end());
  rows.push_back(canRow("Hybrid sleep", "CanHybridSleep", facts.canHybridSleep, causes));
  rows.push_back(canRow("Suspend", "CanSuspend", facts.canSuspend, {}));
  rows.push_back(lowPowerRow(facts));
  rows.push_back(dimmingRow(facts));
  rows.push_back(desktopRow(facts.desktop, facts.gnomeExtension));
  rows.push_back(notificationRow(facts.notificationServer));
  for (auto& row : applicationRows(facts.applications)) rows.push_back(std::move(row));
  return rows;
}

bool safeLandingCanWork(const std::vector<DoctorRow>& rows) {
  return std::all_of(rows.begin(), rows.end(),
                     [](const DoctorRow& row) { return row.ok || !row.neededForSafeLanding; });
}

}  // namespace brimwell
