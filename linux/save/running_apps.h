// The applications a save pass addresses: the owners of the display's managed windows, named by
// their desktop files as the capturer names them, and Emacs, Neovim and Vim from the process list
// when they have no window (a daemon, or one in a terminal). Reads the process table and desktop
// catalog it is given; used from one thread at a time.
#pragma once

#include <sys/types.h>

#include <vector>

#include "linux/capture/desktop_catalog.h"
#include "linux/capture/process_table.h"
#include "linux/save/save_keyboard.h"
#include "linux/save/save_plan.h"

namespace brimwell {

// One application per bundle identifier, in the order of its first window, then a windowless
// Emacs, then a Neovim, of `user`. A window whose process has no desktop entry has no bundle
// identifier and is left out: nothing could name it in the settings.
std::vector<RunningApp> runningApps(const std::vector<ClientWindow>& windows,
                                    ProcessTable& processes, DesktopCatalog& catalog, uid_t user);

// Whether the executable at `path` is Emacs (emacs, emacs-gtk, emacs-nox, ...; not emacsclient).
bool isEmacsExecutable(const std::string& path);

// Whether the executable at `path` is Vim (vim, gvim, and Debian's vim.basic, vim.gtk3, ...).
bool isVimExecutable(const std::string& path);

}  // namespace brimwell
