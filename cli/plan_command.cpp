#include "cli/plan_command.h"

#include <cctype>
#include <iostream>
#include <memory>
#include <string>

#include "brimwell/core/restore/restore_planner.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/read_file.h"
#include "cli/support_option.h"

namespace brimwell::cli {
namespace {

struct PlanOptions {
  std::string id;
  std::string support;
  std::string selection;
  std::string current;
};

// `sentence` to follow a colon inside another sentence.
std::string clause(std::string sentence) {
  if (!sentence.empty()) {
    sentence[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(sentence[0])));
  }
  if (sentence.empty() || sentence.back() != '.') sentence += '.';
  return sentence;
}

// The `T` in the JSON file at `path`, described to the user as `what`.
template <class T>
Result<T> readRecord(const std::string& path, const std::string& what, const std::string& kind) {
  const auto text = readFile(path, kSnapshotFileLimit);
  if (!text && isRefusedFile(text.error())) return Unexpected(text.error());
  if (!text)
    return fail("The " + what + " " + path + " can't be read: " + clause(text.error().message()));
  auto record = BrimwellJSON::decode<T>(*text);
  if (!record) {
    return fail("The " + what + " " + path + " is not " + kind + ": " +
                clause(record.error().message()));
  }
  return record;
}

int runPlan(const PlanOptions& options) {
  if (!SnapshotID::isValid(options.id)) {
    return reportFailure(SnapshotStoreError::invalidID(options.id).describe());
  }
  const auto paths = supportPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());

  RestoreSelection selection = RestoreSelection::everything();
  if (!options.selection.empty()) {
    auto read =
        readRecord<RestoreSelection>(options.selection, "selection file", "a restore selection");
    if (!read) return reportFailure(read.error().message());
    selection = std::move(*read);
  }
  CurrentWorkspace current{.clipboardIsEmpty = true};
  if (!options.current.empty()) {
    auto read = readRecord<CurrentWorkspace>(options.current, "current-workspace file",
                                             "a current workspace");
    if (!read) return reportFailure(read.error().message());
    current = std::move(*read);
  }

  const auto snapshot = loadStoredSnapshot(*paths, options.id);
  if (!snapshot) return reportFailure(snapshot.error().message());
  const auto text = BrimwellJSON::encode(RestorePlanner::plan(*snapshot, selection, current));
  if (!text) return reportFailure("The restore plan can't be shown as JSON.");
  std::cout << *text << '\n';
  return 0;
}

}  // namespace

void addPlanCommand(CLI::App& app, int& status) {
  CLI::App* command =
      app.add_subcommand("plan", "Print the restore plan for a stored snapshot as JSON.");
  auto options = std::make_shared<PlanOptions>();
  command->add_option("ID", options->id, "The snapshot's identifier")->required();
  addSupportOption(*command, options->support);
  command->add_option("--selection", options->selection,
                      "A JSON file with the RestoreSelection fields (default: everything)");
  command->add_option("--current", options->current,
                      "A JSON file with the CurrentWorkspace fields (default: nothing open, the "
                      "clipboard empty)");
  command->callback([options, &status] { status = runPlan(*options); });
}

}  // namespace brimwell::cli
