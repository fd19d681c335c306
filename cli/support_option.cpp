#include "cli/support_option.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/xdg_locations.h"

namespace brimwell::cli {

void addSupportOption(CLI::App& command, std::string& support) {
  command.add_option("--support", support,
                     "The support directory to read (default: the current user's standard one)");
}

Result<BrimwellPaths> supportPaths(const std::string& support) {
  auto standard = XdgLocations::resolve(XdgLocations::processEnvironment());
  BrimwellPaths paths;
  if (support.empty()) {
    if (!standard) return Unexpected(std::move(standard).error());
    paths = standard->paths;
  } else {
    // Only the support directory is read; the rescue root is kept where it would be.
    paths = BrimwellPaths{support,
                          standard ? standard->paths.rescueRoot : std::filesystem::path(support)};
  }
  std::error_code error;
  if (!std::filesystem::is_directory(paths.support, error)) {
    return fail("The support directory " + paths.support.string() + " does not exist.");
  }
  return paths;
}

Result<Snapshot> loadStoredSnapshot(const BrimwellPaths& paths, const std::string& id) {
  SnapshotStore store(paths);
  if (!store.contains(id)) {
    return fail("No snapshot " + id + " is stored in " + store.folder().string() + ".");
  }
  auto snapshot = store.load(id);
  if (!snapshot) return fail("The snapshot " + id + " can't be read.");
  return std::move(*snapshot);
}

int reportFailure(const std::string& sentence, int status) {
  std::cerr << sentence << '\n';
  return status;
}

}  // namespace brimwell::cli
