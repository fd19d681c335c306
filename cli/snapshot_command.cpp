#include "cli/snapshot_command.h"

#include <iostream>
#include <memory>
#include <string>

#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/support_option.h"

namespace brimwell::cli {
namespace {

struct ShowOptions {
  std::string id;
  std::string support;
};

int runShow(const ShowOptions& options) {
  if (!SnapshotID::isValid(options.id)) {
    return reportFailure(SnapshotStoreError::invalidID(options.id).describe());
  }
  const auto paths = supportPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());
  const auto snapshot = loadStoredSnapshot(*paths, options.id);
  if (!snapshot) return reportFailure(snapshot.error().message());
  const auto text = BrimwellJSON::encode(*snapshot);
  if (!text) return reportFailure("The snapshot " + options.id + " can't be shown as JSON.");
  std::cout << *text << '\n';
  return 0;
}

}  // namespace

void addSnapshotCommand(CLI::App& app, int& status) {
  CLI::App* snapshot = app.add_subcommand("snapshot", "Work with one stored snapshot.");
  snapshot->require_subcommand(1);
  CLI::App* show = snapshot->add_subcommand("show", "Print a stored snapshot as JSON.");
  auto options = std::make_shared<ShowOptions>();
  show->add_option("ID", options->id, "The snapshot's identifier, such as 20260301T140509.250Z")
      ->required();
  addSupportOption(*show, options->support);
  show->callback([options, &status] { status = runShow(*options); });
}

}  // namespace brimwell::cli
