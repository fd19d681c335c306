#include "cli/snapshots_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/support_option.h"

namespace brimwell::cli {
namespace {

struct SnapshotsOptions {
  std::string support;
  bool json = false;
};

int runSnapshots(const SnapshotsOptions& options) {
  const auto paths = supportPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());
  SnapshotStore store(*paths);
  const auto summaries = store.summaries();
  if (summaries.empty() && !options.json) {
    std::cout << "No snapshots are stored in " << store.folder().string() << ".\n";
    return 0;
  }
  for (const auto& summary : summaries) {
    if (options.json) {
      const auto line = BrimwellJSON::encode(summary);
      if (!line) return reportFailure("The summary of " + summary.id + " can't be shown as JSON.");
      std::cout << *line << '\n';
      continue;
    }
    char line[256];
    std::snprintf(line, sizeof line, "%s  %s  %-8s  apps %d  tabs %d  documents %d  rescued %d",
                  summary.id.c_str(), BrimwellJSON::format(summary.createdAt).c_str(),
                  std::string(toString(summary.trigger)).c_str(), summary.appCount,
                  summary.tabCount, summary.documentCount, summary.rescuedCount);
    std::cout << line << '\n';
  }
  return 0;
}

}  // namespace

void addSnapshotsCommand(CLI::App& app, int& status) {
  CLI::App* command =
      app.add_subcommand("snapshots", "List the stored snapshots' summaries, newest first.");
  auto options = std::make_shared<SnapshotsOptions>();
  addSupportOption(*command, options->support);
  command->add_flag("--json", options->json, "Print each summary as one JSON object per line");
  command->callback([options, &status] { status = runSnapshots(*options); });
}

}  // namespace brimwell::cli
