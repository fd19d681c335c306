// The support directory the inspection commands read, the stored snapshot they look at, and the one
// way they report a failure: one sentence on standard error and a non-zero exit status. Main thread
// only.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/storage/brimwell_paths.h"

namespace brimwell::cli {

// Adds --support DIR to `command`, stored in `support` (empty when not given).
void addSupportOption(CLI::App& command, std::string& support);

// The locations under `support`, or the current user's XDG ones when it is empty. Fails with
// one sentence when the directory doesn't exist, so a mistyped path isn't read as an empty store.
Result<BrimwellPaths> supportPaths(const std::string& support);

// The snapshot `id` stored under `paths`, or the sentence saying that none is stored or that it
// can't be read.
Result<Snapshot> loadStoredSnapshot(const BrimwellPaths& paths, const std::string& id);

// Prints `sentence` on standard error and returns `status` (1 by default), for `return`.
int reportFailure(const std::string& sentence, int status = 1);

}  // namespace brimwell::cli
