// What a restore on Linux plans against: the workspace open now, read from a capture of this
// desktop, and the snapshot as the planner should see it. Pure functions over values; any thread.
#pragma once

#include "brimwell/core/restore/current_workspace.h"
#include "brimwell/core/snapshots/snapshot.h"

namespace brimwell {

// The CurrentWorkspace a capture taken now describes: its applications' bundle IDs and paths,
// the file paths of its windows' documents, its folder windows' folders, its browsers' tab URLs,
// the working directory of each terminal tab (tabs without one left out), and whether it holds a
// clipboard with any item.
CurrentWorkspace currentWorkspaceOf(const Snapshot& now);

// `snapshot` with an application record for each terminal server that was running without a
// X window of its own (tmux, and foot, a Wayland program), so that the planner, which restores only
// terminals whose application was running, restores its windows. An application already recorded
// for it is kept as it is.
Snapshot withTerminalServers(Snapshot snapshot);

}  // namespace brimwell
