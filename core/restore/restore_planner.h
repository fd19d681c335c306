// RestorePlanner: turns a snapshot, the user's selection and what is open now into the ordered
// steps that bring the snapshot's workspace back. A pure function of its arguments (reads no
// file, asks no application, never fails); callable from any thread. Runs in O(n log n) in the
// size of the snapshot and the current workspace.
#pragma once

#include "core/restore/current_workspace.h"
#include "core/restore/restore_plan.h"
#include "core/restore/restore_selection.h"
#include "core/snapshots/snapshot.h"

namespace brimwell::RestorePlanner {

// The steps, in this order: launches of the selected applications not running now; documents
// not open now, each opened once by the first application (by order) that showed it, rescued
// copies after their application's own; browser, Finder and terminal windows with what isn't
// open now; placement of the selected applications' framed windows whose document is open after
// the plan; the clipboard, when the selection and the current clipboard allow it.
RestorePlan plan(const Snapshot& snapshot, const RestoreSelection& selection,
                 const CurrentWorkspace& current);

}  // namespace brimwell::RestorePlanner
