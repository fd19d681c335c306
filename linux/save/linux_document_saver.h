// LinuxDocumentSaver: the document saver of a Linux desktop. Each pass finds the running
// applications (the display's clients, and Emacs, Neovim and Vim from the process list) and,
// leaving the excluded ones alone, asks Emacs through its server, every Neovim server over its RPC
// socket and every Vim server through Vim's client-server to save their modified buffers (rescuing
// into the pass's folder what can't be saved in place), presses Ctrl+S in every window of the
// applications in the Ctrl+S list, and reports the rest as saving by themselves or not supported.
// A pass answers within its budget, whatever an application or the X server does: every call is
// bounded, and a pass still running at the budget's end answers with what it has (the
// application it was asking, and those not yet asked, as failed) and stops asking. The pass runs
// on threads of its own that hold only the pass's tools; `done` is called on one of them.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>

#include "brimwell/core/engine/collaborators.h"
#include "linux/capture/desktop_catalog.h"
#include "linux/capture/process_table.h"
#include "linux/save/emacs_server.h"
#include "linux/save/nvim_servers.h"
#include "linux/save/save_keyboard.h"
#include "linux/save/vim_servers.h"

namespace brimwell {

// What one pass works with; made afresh for every pass.
struct SaveTools {
  std::unique_ptr<SaveKeyboard> keyboard;
  std::unique_ptr<EmacsServer> emacs;
  std::unique_ptr<NvimServers> neovim;
  std::unique_ptr<VimServers> vim;
  std::unique_ptr<ProcessTable> processes;
  std::unique_ptr<DesktopCatalog> desktopFiles;
  uid_t user = 0;

  // This session's: $DISPLAY, the default Emacs server, this user's Neovim servers, the Vim
  // servers on $DISPLAY, /proc, the XDG desktop files, this user.
  static SaveTools forSession();
};

struct SaverBudget {
  // The whole pass; below the engine's shortest save-pass watchdog (45 seconds at the last
  // moment), so the pass answers before the engine gives up on it.
  double pass = 40;
  double emacs = 15;   // one request to Emacs's server
  double neovim = 15;  // the whole conversation with one Neovim server
  double vim = 15;     // one request to a Vim server
};

class LinuxDocumentSaver final : public DocumentSaving {
 public:
  explicit LinuxDocumentSaver(std::function<SaveTools()> tools = SaveTools::forSession,
                              SaverBudget budget = {})
      : tools_(std::move(tools)), budget_(budget) {}

  void saveDocuments(const std::filesystem::path& rescueFolder,
                     const std::set<std::string>& commandSBundleIDs,
                     const std::set<std::string>& excluding,
                     std::function<void(SavePassOutput)> done) override;

  // The same pass, on the calling thread, still bounded by the budget.
  SavePassOutput saveNow(const std::filesystem::path& rescueFolder,
                         const std::set<std::string>& commandSBundleIDs,
                         const std::set<std::string>& excluding);

 private:
  std::function<SaveTools()> tools_;
  SaverBudget budget_;
};

}  // namespace brimwell
