#include "cli/capture_command.h"

#include <asio/io_context.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "brimwell/core/engine/system_clock.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/snapshots/snapshot_summary.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/support_option.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/linux_system_info.h"

namespace brimwell::cli {
namespace {

struct CaptureOptions {
  std::string support;
  std::vector<std::string> excluding;
  bool withoutClipboard = false;
};

int runCapture(const CaptureOptions& options) {
  const auto paths = supportPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());
  asio::io_context context;
  SystemClock clock(context);
  LinuxSystemInfo machine;
  LinuxWorkspaceCapturer capturer(LinuxCaptureSources::forSession(), clock, machine);
  const auto snapshot =
      capturer.captureNow(CaptureTrigger::manual, std::nullopt,
                          std::set<std::string>(options.excluding.begin(), options.excluding.end()),
                          !options.withoutClipboard);
  SnapshotStore store(*paths);
  if (const auto saved = store.save(snapshot); !saved) {
    return reportFailure("Couldn't save the snapshot: " + saved.error().message());
  }
  const SnapshotSummary summary(snapshot);
  char line[256];
  std::snprintf(line, sizeof line, "%s  %s  %-8s  apps %d  tabs %d  documents %d  rescued %d",
                summary.id.c_str(), BrimwellJSON::format(summary.createdAt).c_str(),
                std::string(toString(summary.trigger)).c_str(), summary.appCount, summary.tabCount,
                summary.documentCount, summary.rescuedCount);
  std::cout << line << '\n';
  return 0;
}

}  // namespace

void addCaptureCommand(CLI::App& app, int& status) {
  CLI::App* command =
      app.add_subcommand("capture", "Take one snapshot of this desktop now and store it.");
  auto options = std::make_shared<CaptureOptions>();
  addSupportOption(*command, options->support);
  command->add_option("--exclude", options->excluding,
                      "Leave out the application with this bundle ID (repeatable)");
  command->add_flag("--no-clipboard", options->withoutClipboard, "Don't record the clipboard");
  command->callback([options, &status] { status = runCapture(*options); });
}

}  // namespace brimwell::cli
