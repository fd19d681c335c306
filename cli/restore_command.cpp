#include "cli/restore_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "brimwell/core/engine/system_clock.h"
#include "brimwell/core/journal/journal_store.h"
#include "brimwell/core/restore/restore_planner.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "cli/support_option.h"
#include "linux/capture/gnome_shell.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/capture/wayland_clipboard.h"
#include "linux/desktop_session.h"
#include "linux/linux_system_info.h"
#include "linux/restore/clipboard_server.h"
#include "linux/restore/linux_restore_executor.h"
#include "linux/restore/session_window_control.h"
#include "linux/restore/step_description.h"
#include "linux/restore/workspace_now.h"

namespace brimwell::cli {
namespace {

constexpr std::string_view kParts[] = {"apps",      "documents", "browsers",
                                       "terminals", "windows",   "clipboard"};

struct RestoreOptions {
  std::string id;
  std::string support;
  std::string only;
  bool dryRun = false;
};

// The parts `only` names (every part when it is empty), or the sentence naming a wrong one.
Result<std::set<std::string>> chosenParts(const std::string& only) {
  std::set<std::string> parts;
  if (only.empty()) return std::set<std::string>(std::begin(kParts), std::end(kParts));
  std::stringstream list(only);
  for (std::string part; std::getline(list, part, ',');) {
    if (std::find(std::begin(kParts), std::end(kParts), part) == std::end(kParts)) {
      return fail("\"" + part +
                  "\" is not a part of a restore; choose from apps, documents, browsers, "
                  "terminals, windows and clipboard.");
    }
    parts.insert(part);
  }
  if (parts.empty()) return fail("--only names no part of the restore.");
  return parts;
}

// What the user chose: every left-out part as an empty selection; the clipboard restored when
// named, else (the default choice) only onto an empty clipboard whose owner hasn't changed since.
RestoreSelection selectionFor(const std::set<std::string>& parts, bool allParts) {
  RestoreSelection selection = RestoreSelection::everything();
  if (!parts.contains("documents")) {
    selection.documentPaths.emplace();
    selection.finderPaths.emplace();
  }
  if (!parts.contains("browsers")) selection.browserWindows.emplace();
  if (!parts.contains("terminals")) selection.terminalWindows.emplace();
  if (!parts.contains("clipboard")) {
    selection.clipboard = false;
  } else if (!allParts) {
    selection.clipboard = true;
  } else if (const auto owner = windowControlForSession()->clipboardMark()) {
    selection.clipboardWasDefault = true;
    selection.clipboardChangeCount = *owner;
  }
  return selection;
}

// `plan` without the launches or placements of the parts left out.
void dropLeftOut(RestorePlan& plan, const std::set<std::string>& parts) {
  std::erase_if(plan.steps, [&](const RestoreStep& step) {
    return (step.as<RestoreStep::LaunchApp>() && !parts.contains("apps")) ||
           (step.as<RestoreStep::PlaceWindows>() && !parts.contains("windows"));
  });
}

CurrentWorkspace workspaceNow() {
  asio::io_context context;
  SystemClock clock(context);
  LinuxSystemInfo machine;
  LinuxWorkspaceCapturer capturer(LinuxCaptureSources::forSession(), clock, machine);
  return currentWorkspaceOf(capturer.captureNow(CaptureTrigger::manual, std::nullopt, {}, true));
}

std::string selfExecutable() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string("brimwell");
}

void showProgress(const RestoreProgress& progress, bool terminal) {
  if (!terminal) {
    if (progress.completed < progress.total) {
      std::cout << "[" << progress.completed + 1 << "/" << progress.total << "] "
                << progress.current << '\n'
                << std::flush;
    }
    return;
  }
  constexpr int width = 24;
  const int filled = progress.total == 0 ? width : width * progress.completed / progress.total;
  std::cout << "\r\033[K";
  if (progress.completed < progress.total) {
    std::cout << '[' << std::string(std::size_t(filled), '#')
              << std::string(std::size_t(width - filled), '.') << "] " << progress.completed << '/'
              << progress.total << ' ' << progress.current;
  }
  std::cout << std::flush;
}

std::string outcomeLine(const RestoreStepResult& result) {
  const std::string what = describeStep(result.step);
  if (const auto* skipped = result.outcome.as<RestoreStepOutcome::Skipped>()) {
    return "  skipped  " + what + ": " + skipped->reason;
  }
  if (const auto* failed = result.outcome.as<RestoreStepOutcome::Failed>()) {
    return "  failed   " + what + ": " + failed->reason;
  }
  return "  done     " + what;
}

// Answers the journal's pending restore offer when it is for `id`.
Status markRestored(const BrimwellPaths& paths, const std::string& id) {
  JournalStore journals(paths);
  auto journal = journals.read();
  if (!journal || journal->pendingRestoreSnapshotID != id) return {};
  journal->pendingRestoreSnapshotID.reset();
  journal->pendingRestoreKind.reset();
  journal->pendingRestoreAt.reset();
  return journals.write(*journal);
}

int runRestore(const RestoreOptions& options) {
  if (!SnapshotID::isValid(options.id)) {
    return reportFailure(SnapshotStoreError::invalidID(options.id).describe());
  }
  const auto parts = chosenParts(options.only);
  if (!parts) return reportFailure(parts.error().message());
  const auto paths = supportPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());
  const auto snapshot = loadStoredSnapshot(*paths, options.id);
  if (!snapshot) return reportFailure(snapshot.error().message());

  const RestoreSelection selection = selectionFor(*parts, options.only.empty());
  RestorePlan plan =
      RestorePlanner::plan(withTerminalServers(*snapshot), selection, workspaceNow());
  dropLeftOut(plan, *parts);

  if (options.dryRun) {
    std::cout << "Restoring " << plan.snapshotID << " would take " << plan.steps.size()
              << (plan.steps.size() == 1 ? " step" : " steps") << (plan.steps.empty() ? "." : ":")
              << '\n';
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
      std::cout << "  " << i + 1 << ". " << describeStep(plan.steps[i]) << '\n';
    }
    return 0;
  }

  LinuxRestoreExecutor executor(LinuxRestorePlatform::forSession(),
                                {.clipboardServer = {selfExecutable(), "serve-clipboard"},
                                 .windowStates = RecordedWindowStates(snapshot->apps)});
  const bool terminal = ::isatty(STDOUT_FILENO) == 1;
  const RestoreReport report = executor.executeNow(
      plan, [terminal](const RestoreProgress& progress) { showProgress(progress, terminal); });
  int done = 0, skipped = 0, failed = 0;
  for (const auto& result : report.results) {
    if (result.outcome.as<RestoreStepOutcome::Failed>()) {
      ++failed;
    } else if (result.outcome.as<RestoreStepOutcome::Skipped>()) {
      ++skipped;
    } else {
      ++done;
    }
  }
  std::cout << "Restored " << report.snapshotID << ": " << done << " done, " << skipped
            << " skipped, " << failed << " failed." << '\n';
  for (const auto& result : report.results) std::cout << outcomeLine(result) << '\n';
  if (const auto marked = markRestored(*paths, options.id); !marked) {
    return reportFailure("The restore offer can't be answered in the journal: " +
                         marked.error().message());
  }
  return failed == 0 ? 0 : 1;
}

int runServeClipboard(const std::string& display) {
  // Standard output carries the one answer line; the record comes on standard input.
  auto record = readClipboardRequest(STDIN_FILENO, 2 * std::size_t(ClipboardRecord::maxBytes));
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
  if (::chdir("/") != 0) {
    // The server holds no file open; staying where it was started is harmless.
  }
  const int answer = ::dup(STDOUT_FILENO);
  if (devNull >= 0) ::dup2(devNull, STDOUT_FILENO);
  // sway's and KWin's clipboards take a Wayland selection; elsewhere XWayland or the X server
  // carries the clipboard.
  const auto session = SessionEnvironment::fromProcess();
  const auto backend = chooseDesktopBackend(session);
  const bool wayland = backend == DesktopBackendKind::sway || backend == DesktopBackendKind::kde;
  // GNOME Shell offers Wayland clients every type of an X client's clipboard, but keeps only one
  // type of a clipboard it is given through Brimwell's extension: the extension serves only where
  // no XWayland runs.
  const bool throughShell =
      backend == DesktopBackendKind::gnome && session.display.value_or("").empty();
  Status served = !record        ? Status(Unexpected(record.error()))
                  : throughShell ? serveGnomeClipboard(*record, answer)
                  : wayland      ? serveWaylandClipboard({}, *record, answer)
                                 : serveClipboard(display, *record, answer);
  if (!served) {
    const std::string line = served.error().message() + "\n";
    if (::write(answer, line.data(), line.size()) < 0) {
      // The restore that started the server is gone; nobody is left to tell.
    }
    return 1;
  }
  return 0;
}

}  // namespace

void addRestoreCommand(CLI::App& app, int& status) {
  CLI::App* command =
      app.add_subcommand("restore", "Bring a stored snapshot's workspace back onto this desktop.");
  auto options = std::make_shared<RestoreOptions>();
  command->add_option("ID", options->id, "The snapshot's identifier")->required();
  addSupportOption(*command, options->support);
  command->add_option("--only", options->only,
                      "Restore only these parts, comma-separated: apps, documents, browsers, "
                      "terminals, windows, clipboard");
  command->add_flag("--dry-run", options->dryRun, "Print the plan without doing any of it");
  command->callback([options, &status] { status = runRestore(*options); });

  CLI::App* serve = app.add_subcommand("serve-clipboard", "");
  serve->group("");  // hidden: started by `restore` only
  auto display = std::make_shared<std::string>();
  serve->add_option("--display", *display, "The X display (default: $DISPLAY)");
  serve->callback([display, &status] { status = runServeClipboard(*display); });
}

}  // namespace brimwell::cli
