// Which way the save pass addresses each running application, and the results of a pass that
// couldn't ask every application in time. Pure functions over values; callable from any thread.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// The bundle identifiers of Emacs, Neovim and Vim (their desktop files' IDs).
inline constexpr std::string_view kEmacsBundleID = "emacs";
inline constexpr std::string_view kNeovimBundleID = "nvim";
inline constexpr std::string_view kVimBundleID = "vim";

// An application the pass found running: from the display's client list (with its windows) or,
// for Emacs, Neovim and Vim, from the process list (an Emacs daemon, or one in a terminal, has no
// window of its own).
struct RunningApp {
  std::string bundleID;
  std::string name;
  std::vector<WindowId> windows;  // its managed windows, front to back of the client list
  friend bool operator==(const RunningApp&, const RunningApp&) = default;
};

enum class SaveWay {
  emacsServer,    // asked through its server to save each modified buffer
  neovimServers,  // every server of the user's Neovim processes asked over its RPC socket
  vimServers,     // every Vim server on the X display asked through Vim's client-server
  commandS,       // Ctrl+S pressed in each of its windows
  savesItself,    // keeps its unsaved work by itself; left alone
  notSupported    // nothing Brimwell can ask of it
};

struct PlannedSave {
  RunningApp app;
  SaveWay way = SaveWay::notSupported;
  friend bool operator==(const PlannedSave&, const PlannedSave&) = default;
};

// Whether the application keeps unsaved documents by itself, so a save pass leaves it alone.
bool savesItself(std::string_view bundleID);

// One plan per running application not in `excluding`, in the order given: Emacs through its
// server (Ctrl+S is a search there), Neovim and Vim through their servers, an application in
// `commandSBundleIDs` with Ctrl+S, then the applications that save by themselves, the rest not
// supported.
std::vector<PlannedSave> planSaves(const std::vector<RunningApp>& running,
                                   const std::set<std::string>& commandSBundleIDs,
                                   const std::set<std::string>& excluding);

// The result of an application left alone: savesItself or notSupported, with a note.
SaverResult resultWithoutAsking(const PlannedSave& plan);

// The result of an application the pass ran out of time for, asked (`started`) or not.
SaverResult resultOutOfTime(const RunningApp& app, bool started);

}  // namespace brimwell
