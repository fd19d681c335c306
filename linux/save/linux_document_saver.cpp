#include "linux/save/linux_document_saver.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "linux/private_file.h"
#include "linux/save/emacs_save.h"
#include "linux/save/nvim_save.h"
#include "linux/save/running_apps.h"
#include "linux/save/save_plan.h"
#include "linux/save/session_save_keyboard.h"
#include "linux/save/vim_save.h"

namespace brimwell {
namespace {

// What the pass's worker has done so far, read by the caller when the pass ends or its budget
// runs out.
struct PassState {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<PlannedSave> plans;  // every plan known so far, in the order they are asked
  std::size_t asked = 0;           // plans answered
  bool asking = false;             // plans[asked] is being asked
  SavePassOutput output;
  bool finished = false;
  bool abandoned = false;  // the pass has answered; the worker asks nothing more
};

// The one result of an application asked nothing, or asked in vain.
SavePassOutput oneResult(const RunningApp& app, SaverOutcome outcome, std::string detail) {
  return {.results = {{.bundleID = app.bundleID,
                       .appName = app.name,
                       .outcome = outcome,
                       .detail = std::move(detail)}}};
}

// A server's reports, or a failed report naming the server that couldn't be asked, so the other
// servers' buffers still count.
void addServerReports(std::vector<BufferReport>& reports, const std::string& server,
                      Result<std::vector<BufferReport>> answered) {
  if (!answered) {
    reports.push_back(
        {.kind = BufferReport::Kind::failed, .buffer = server, .file = answered.error().message()});
    return;
  }
  reports.insert(reports.end(), answered->begin(), answered->end());
}

class PassWorker {
 public:
  PassWorker(SaveTools tools, std::shared_ptr<PassState> state, std::filesystem::path folder,
             std::set<std::string> commandS, std::set<std::string> excluding, SaverBudget budget)
      : tools_(std::move(tools)),
        state_(std::move(state)),
        folder_(std::move(folder)),
        commandS_(std::move(commandS)),
        excluding_(std::move(excluding)),
        budget_(budget) {}

  void run() {
    // Emacs, Neovim and Vim first, from the process list: they need no window.
    auto apps = runningApps({}, *tools_.processes, *tools_.desktopFiles, tools_.user);
    askAll(planSaves(apps, commandS_, excluding_));
    if (auto windows = tools_.keyboard->windows()) {
      auto windowed = runningApps(*windows, *tools_.processes, *tools_.desktopFiles, tools_.user);
      std::erase_if(windowed, [&](const RunningApp& app) {
        return std::any_of(apps.begin(), apps.end(),
                           [&](const RunningApp& known) { return known.bundleID == app.bundleID; });
      });
      const auto plans = planSaves(windowed, commandS_, excluding_);
      const bool pressing = std::any_of(plans.begin(), plans.end(), [](const PlannedSave& plan) {
        return plan.way == SaveWay::commandS;
      });
      const auto active = pressing ? tools_.keyboard->activeWindow() : std::nullopt;
      askAll(plans);
      if (active && !abandoned()) (void)tools_.keyboard->activate(*active);
    }
    std::lock_guard lock(state_->mutex);
    state_->finished = true;
    state_->changed.notify_all();
  }

 private:
  bool abandoned() {
    std::lock_guard lock(state_->mutex);
    return state_->abandoned;
  }

  void askAll(const std::vector<PlannedSave>& plans) {
    {
      std::lock_guard lock(state_->mutex);
      state_->plans.insert(state_->plans.end(), plans.begin(), plans.end());
    }
    for (const auto& plan : plans) {
      {
        std::lock_guard lock(state_->mutex);
        if (state_->abandoned) return;
        state_->asking = true;
      }
      SavePassOutput output;
      try {
        output = ask(plan);
      } catch (const std::exception&) {
        // Out of memory, say: this application's result says so, and the pass goes on.
        output = oneResult(plan.app, SaverOutcome::failed,
                           "Asking it to save stopped with an internal error.");
      }
      std::lock_guard lock(state_->mutex);
      if (state_->abandoned) return;
      auto& into = state_->output;
      into.results.insert(into.results.end(), output.results.begin(), output.results.end());
      into.rescued.insert(into.rescued.end(), output.rescued.begin(), output.rescued.end());
      ++state_->asked;
      state_->asking = false;
    }
  }

  SavePassOutput ask(const PlannedSave& plan) {
    switch (plan.way) {
      case SaveWay::emacsServer:
        return askEmacs(plan.app);
      case SaveWay::neovimServers:
        return askNeovim(plan.app);
      case SaveWay::vimServers:
        return askVim(plan.app);
      case SaveWay::commandS:
        return {.results = {pressControlS(plan.app)}};
      case SaveWay::savesItself:
      case SaveWay::notSupported:
        break;
    }
    return {.results = {resultWithoutAsking(plan)}};
  }

  SavePassOutput askEmacs(const RunningApp& app) {
    SaverResult result{.bundleID = app.bundleID, .appName = app.name};
    const auto answer = tools_.emacs->eval(emacsSaveForm(folder_), budget_.emacs);
    if (!answer) {
      result.outcome =
          answer.error().code() == ETIMEDOUT ? SaverOutcome::failed : SaverOutcome::notSupported;
      result.detail = answer.error().message();
      return {.results = {result}};
    }
    const auto reports = parseEmacsSaveAnswer(*answer);
    if (!reports) {
      result.outcome = SaverOutcome::failed;
      result.detail = reports.error().message();
      return {.results = {result}};
    }
    return emacsPassOutput(*reports, app.bundleID, app.name);
  }

  // Every server in turn, each within its own budget; a server that can't be asked is a failed
  // report of its own, so the others' buffers still count.
  SavePassOutput askNeovim(const RunningApp& app) {
    const auto sockets = tools_.neovim ? tools_.neovim->sockets() : std::vector<std::string>{};
    if (sockets.empty()) {
      return oneResult(app, SaverOutcome::notSupported,
                       "Neovim runs without a server socket Brimwell can find.");
    }
    std::vector<BufferReport> reports;
    for (const auto& socket : sockets) {
      if (abandoned()) break;
      const auto deadline = std::chrono::steady_clock::now() +
                            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double>(budget_.neovim));
      auto connection = NvimConnection::open(socket, deadline);
      addServerReports(reports, "the server at " + socket,
                       connection
                           ? saveNvimBuffers(*connection, folder_, deadline)
                           : Result<std::vector<BufferReport>>(Unexpected(connection.error())));
    }
    return bufferPassOutput(reports, app.bundleID, app.name, "Neovim");
  }

  // Every server in turn, as for Neovim. The script goes through a private file: Vim's
  // client-server carries one expression, and the expression sources it.
  SavePassOutput askVim(const RunningApp& app) {
    const auto names = tools_.vim ? tools_.vim->names(budget_.vim) : std::vector<std::string>{};
    if (names.empty()) {
      return oneResult(app, SaverOutcome::notSupported,
                       "Vim runs without a server Brimwell can reach; a Vim with +clientserver "
                       "started with --servername, or gvim, has one.");
    }
    const auto script = vimSaveScript(folder_);
    if (!script) return oneResult(app, SaverOutcome::failed, script.error().message());
    const PrivateFile file(*script, ".vim");
    if (file.path().empty()) {
      return oneResult(app, SaverOutcome::failed, "The script for Vim couldn't be written.");
    }
    std::vector<BufferReport> reports;
    for (const auto& name : names) {
      if (abandoned()) break;
      const auto answer = tools_.vim->eval(name, vimSaveExpression(file.path()), budget_.vim);
      addServerReports(reports, "the server " + name,
                       answer ? parseVimSaveAnswer(*answer)
                              : Result<std::vector<BufferReport>>(Unexpected(answer.error())));
    }
    return bufferPassOutput(reports, app.bundleID, app.name, "Vim");
  }

  SaverResult pressControlS(const RunningApp& app) {
    SaverResult result{.bundleID = app.bundleID, .appName = app.name};
    int pressed = 0;
    std::optional<std::string> failure;
    for (const auto& window : app.windows) {
      if (abandoned()) break;
      auto done = tools_.keyboard->activate(window);
      // Keys pressed after the pass has answered would land in whatever window is in front.
      if (abandoned()) break;
      if (done) done = tools_.keyboard->pressControlS();
      if (done) {
        ++pressed;
      } else {
        failure = done.error().message();
      }
    }
    if (pressed > 0) {
      result.outcome = SaverOutcome::pressedCommandS;
      result.detail = "Pressed Ctrl+S in " + std::to_string(pressed) + " of its " +
                      std::to_string(app.windows.size()) + " windows.";
    } else {
      result.outcome = SaverOutcome::failed;
      result.detail = failure.value_or("It has no window to press Ctrl+S in.");
    }
    return result;
  }

  SaveTools tools_;
  std::shared_ptr<PassState> state_;
  std::filesystem::path folder_;
  std::set<std::string> commandS_;
  std::set<std::string> excluding_;
  SaverBudget budget_;
};

SavePassOutput runPass(SaveTools tools, SaverBudget budget, const std::filesystem::path& folder,
                       const std::set<std::string>& commandS,
                       const std::set<std::string>& excluding) {
  auto state = std::make_shared<PassState>();
  auto worker =
      std::make_shared<PassWorker>(std::move(tools), state, folder, commandS, excluding, budget);
  // Detached: a call that hangs past every bound keeps only its own thread and tools.
  // One that throws while listing the applications leaves the pass to answer at its budget.
  std::thread([worker] {
    try {
      worker->run();
    } catch (const std::exception&) {
    }
  }).detach();
  std::unique_lock lock(state->mutex);
  state->changed.wait_for(lock, std::chrono::duration<double>(budget.pass),
                          [&] { return state->finished; });
  state->abandoned = true;
  SavePassOutput output = state->output;
  for (std::size_t i = state->asked; i < state->plans.size(); ++i) {
    output.results.push_back(
        resultOutOfTime(state->plans[i].app, i == state->asked && state->asking));
  }
  return output;
}

}  // namespace

SaveTools SaveTools::forSession() {
  return {
      .keyboard = saveKeyboardForSession(),
      .emacs = std::make_unique<EmacsClientServer>(),
      .neovim = std::make_unique<ProcNvimServers>(::getuid()),
      .vim = std::make_unique<VimClientServers>(),
      .processes = std::make_unique<ProcProcessTable>(),
      .desktopFiles = std::make_unique<FileDesktopCatalog>(FileDesktopCatalog::forEnvironment()),
      .user = ::getuid()};
}

void LinuxDocumentSaver::saveDocuments(const std::filesystem::path& rescueFolder,
                                       const std::set<std::string>& commandSBundleIDs,
                                       const std::set<std::string>& excluding,
                                       std::function<void(SavePassOutput)> done) {
  std::thread([tools = tools_, budget = budget_, rescueFolder, commandSBundleIDs, excluding,
               done = std::move(done)] {
    done(runPass(tools(), budget, rescueFolder, commandSBundleIDs, excluding));
  }).detach();
}

SavePassOutput LinuxDocumentSaver::saveNow(const std::filesystem::path& rescueFolder,
                                           const std::set<std::string>& commandSBundleIDs,
                                           const std::set<std::string>& excluding) {
  return runPass(tools_(), budget_, rescueFolder, commandSBundleIDs, excluding);
}

}  // namespace brimwell
