#include "linux/restore/launch_commands.h"

#include <algorithm>
#include <iterator>

namespace brimwell {

std::string_view defaultProgram(BrowserKind browser) {
  switch (browser) {
    case BrowserKind::chrome:
      return "google-chrome";
    case BrowserKind::brave:
      return "brave-browser";
    case BrowserKind::edge:
      return "microsoft-edge";
    case BrowserKind::vivaldi:
      return "vivaldi";
    case BrowserKind::firefox:
      return "firefox";
    case BrowserKind::chromium:
      return "chromium";
    case BrowserKind::safari:
    case BrowserKind::arc:
      break;
  }
  return {};
}

std::string_view defaultProgram(TerminalKind terminal) {
  switch (terminal) {
    case TerminalKind::xterm:
      return "xterm";
    case TerminalKind::gnomeTerminal:
      return "gnome-terminal";
    case TerminalKind::konsole:
      return "konsole";
    case TerminalKind::tmux:
      return "tmux";
    case TerminalKind::kitty:
      return "kitty";
    case TerminalKind::foot:
      return "foot";
    case TerminalKind::alacritty:
      return "alacritty";
    case TerminalKind::terminal:
    case TerminalKind::iterm2:
      break;
  }
  return {};
}

Result<std::vector<std::string>> browserWindowCommand(BrowserKind browser,
                                                      const std::string& program,
                                                      const BrowserWindowRecord& window) {
  if (program.empty()) {
    return fail(std::string(toString(browser)) + " has no program to start on Linux.");
  }
  if (window.tabs.empty()) return fail("The window has no tabs to open.");
  std::vector<std::string> line = {program};
  if (browser != BrowserKind::firefox || window.tabs.size() == 1) line.push_back("--new-window");
  for (const auto& tab : window.tabs) {
    if (tab.url.empty() || tab.url.front() == '-') {
      return fail("The tab address \"" + tab.url + "\" isn't one a browser can be given.");
    }
    line.push_back(tab.url);
  }
  return line;
}

namespace {

// kitty's session text for one OS window of the window's tabs, each started in its directory;
// nothing when a directory holds what kitty would expand or a line can't carry.
std::optional<std::string> kittySession(const TerminalWindowRecord& window) {
  std::string session;
  for (const auto& tab : window.tabs) {
    const std::string& directory = *tab.directory;
    if (std::any_of(directory.begin(), directory.end(),
                    [](unsigned char c) { return c == '$' || c < 0x20 || c == 0x7f; })) {
      return std::nullopt;
    }
    // Quoted as a POSIX shell would read it, which is how kitty splits a session line.
    std::string quoted = "'";
    for (const char c : directory) quoted += c == '\'' ? std::string("'\"'\"'") : std::string(1, c);
    if (!session.empty()) session += "new_tab\n";
    session += "launch --cwd=" + quoted + "'\n";
  }
  return session;
}

}  // namespace

Result<std::vector<DirectoryLaunch>> emulatorWindowLaunches(TerminalKind terminal,
                                                            const std::string& program,
                                                            const TerminalWindowRecord& window) {
  if (terminal == TerminalKind::tmux) return fail("tmux windows are opened by the tmux server.");
  if (program.empty()) {
    return fail(std::string(toString(terminal)) + " has no program to start on Linux.");
  }
  if (window.tabs.empty()) return fail("The window has no tabs to open.");
  for (const auto& tab : window.tabs) {
    if (!tab.directory) return fail("A tab of the window has no recorded directory.");
    if (tab.directory->empty() || tab.directory->front() != '/') {
      return fail("The directory \"" + tab.directory.value_or("") + "\" isn't an absolute path.");
    }
  }
  const std::string& first = *window.tabs.front().directory;
  std::vector<DirectoryLaunch> launches;
  switch (terminal) {
    case TerminalKind::gnomeTerminal: {
      std::vector<std::string> argv = {program, "--window", "--working-directory=" + first};
      for (std::size_t i = 1; i < window.tabs.size(); ++i) {
        argv.insert(argv.end(), {"--tab", "--working-directory=" + *window.tabs[i].directory});
      }
      launches.push_back({std::move(argv), first});
      break;
    }
    case TerminalKind::konsole:
      // The other tabs are asked of the window once it runs (openKonsoleTabs).
      launches.push_back({{program, "--separate", "--workdir", first}, first});
      break;
    case TerminalKind::kitty:
      if (window.tabs.size() > 1) {
        if (auto session = kittySession(window)) {
          launches.push_back({{program, "--session"}, first, std::move(*session)});
          break;
        }
      }
      [[fallthrough]];
    case TerminalKind::foot:
    case TerminalKind::alacritty: {
      // A window per tab: none of them opens tabs from its command line (nor kitty, short of a
      // session it can read).
      const char* option = terminal == TerminalKind::kitty ? "--directory" : "--working-directory";
      for (const auto& tab : window.tabs) {
        launches.push_back({{program, option, *tab.directory}, *tab.directory});
      }
      break;
    }
    default:
      for (const auto& tab : window.tabs) launches.push_back({{program}, *tab.directory});
  }
  return launches;
}

bool launchLeftToWindowSteps(const RestorePlan& plan, const AppRecord& app) {
  if (!app.bundleID) return false;
  const auto browser = fromBundleID<BrowserKind>(*app.bundleID);
  const auto terminal = fromBundleID<TerminalKind>(*app.bundleID);
  // The file managers' desktop-file IDs; their folder windows open through the bus or xdg-open.
  static constexpr std::string_view kFileManagers[] = {
      "org.gnome.Nautilus", "thunar", "nemo", "caja", "org.kde.dolphin", "pcmanfm"};
  const bool fileManager = std::find(std::begin(kFileManagers), std::end(kFileManagers),
                                     *app.bundleID) != std::end(kFileManagers);
  for (const auto& step : plan.steps) {
    if (fileManager && step.as<RestoreStep::OpenFinderWindow>()) return true;
    if (const auto* open = step.as<RestoreStep::OpenBrowserWindow>()) {
      if (browser == open->browser) return true;
    }
    if (const auto* open = step.as<RestoreStep::OpenTerminalWindow>()) {
      if (terminal == open->app) return true;
    }
  }
  return false;
}

}  // namespace brimwell
