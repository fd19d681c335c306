// The command lines that reopen browser and terminal windows on Linux, and when an application's
// launch is left to those window steps. Snapshot texts (URLs, directories) only ever become whole
// argv entries; one that a program could take for an option is refused. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/restore/restore_plan.h"

namespace brimwell {

// The program that opens windows of the kind when no desktop file names one; empty for the kinds
// that have no Linux program (Safari, Arc, Terminal, iTerm2).
std::string_view defaultProgram(BrowserKind browser);
std::string_view defaultProgram(TerminalKind terminal);

// The command line that opens one window of `browser` (started as `program`) with the window's
// tabs in order, whether or not the browser is running already. The Chromium family takes
// --new-window and every URL; Firefox takes --new-window with one URL only, and opens a window of
// its own for two or more URLs given bare. One command line, not a command per tab: a tab handed
// to a browser that has only just shown its window can be lost. Fails without tabs, for a browser
// without a Linux program, and on a URL that starts with "-".
Result<std::vector<std::string>> browserWindowCommand(BrowserKind browser,
                                                      const std::string& program,
                                                      const BrowserWindowRecord& window);

// One program to start in a directory.
struct DirectoryLaunch {
  std::vector<std::string> argv;
  std::string directory;
  // When not empty: the text of a file only this user can read, whose path ends the argv.
  std::string file;
  friend bool operator==(const DirectoryLaunch&, const DirectoryLaunch&) = default;
};

// What opens `window` of the emulator `terminal` (started as `program`), one tab per entry:
// xterm has no tabs, so one xterm per tab, each started in its tab's directory; GNOME Terminal
// one window with a --tab per further entry, each with --working-directory; Konsole a separate
// window of the first entry with --workdir (its other tabs are opened in it over the bus by the
// executor, openKonsoleTabs); kitty one window
// of the tabs through a session file; foot and Alacritty (with --working-directory), and kitty
// where a directory can't go in its session file (with --directory), a window per tab. Fails for
// tmux (not an emulator), the kinds without a Linux program, a tab without a directory and a
// directory that isn't absolute.
Result<std::vector<DirectoryLaunch>> emulatorWindowLaunches(TerminalKind terminal,
                                                            const std::string& program,
                                                            const TerminalWindowRecord& window);

// True when `app` is a browser, terminal or file manager whose windows `plan` opens with their
// own steps, so that launching it as well would only add a window nobody asked for.
bool launchLeftToWindowSteps(const RestorePlan& plan, const AppRecord& app);

}  // namespace brimwell
