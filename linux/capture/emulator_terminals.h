// The terminal records of the emulators with windows on the desktop (xterm, GNOME Terminal,
// Konsole, kitty, Alacritty, foot): each of their windows with the shells it runs as tabs; and,
// where the desktop doesn't list its windows, of foot from its processes alone. Pure; callable
// from any thread.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/app_assembly.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// A shell (or other program) a terminal process runs directly.
struct ShellTab {
  std::optional<std::string> directory;  // its working directory
  std::string command;
  friend bool operator==(const ShellTab&, const ShellTab&) = default;
};

// The emulators found through the desktop's windows, in the order emulatorTerminals gives their
// records.
inline constexpr std::array<TerminalKind, 6> kWindowedEmulators = {
    TerminalKind::xterm, TerminalKind::gnomeTerminal, TerminalKind::konsole,
    TerminalKind::kitty, TerminalKind::alacritty,     TerminalKind::foot};

// One record for each of the windowed emulators, in that order: ok with a window for each of its
// desktop windows (front to back, bounds = frame), notRunning without any. A window whose tabs
// the emulator itself named (`known`, by window id) has those. Otherwise a process with one
// window shows its shells as that window's tabs, titled by the window when there is one shell and
// by the shell's command otherwise; a process with several windows can't tell which shell is in
// which, so its frontmost window holds them all.
std::vector<TerminalRecord> emulatorTerminals(
    const Desktop& desktop, const std::map<int, ProcessIdentity>& identities,
    const std::map<int, std::vector<ShellTab>>& shells,
    const std::map<WindowId, std::vector<TerminalTabRecord>>& known = {});

// The record of an emulator that runs one shell per window (foot, and `foot --server` for every
// footclient window), from the shells of its processes when the desktop doesn't list windows: a
// window per shell, in process order, titled by the shell's command and without bounds;
// notRunning without any.
TerminalRecord shellWindowTerminals(TerminalKind kind,
                                    const std::map<int, std::vector<ShellTab>>& shells);

}  // namespace brimwell
