// RestorePlanner: turns a snapshot, the user's selection and what is open now into the ordered
// steps that bring the snapshot's workspace back. A pure function of its arguments (reads no
// file, asks no application, never fails); callable from any thread. Runs in O(n log n) in the
// size of the snapshot and the current workspace.
#pragma once

#include "brimwell/core/restore/current_workspace.h"
#include "brimwell/core/restore/restore_plan.h"
#include "brimwell/core/restore/restore_selection.h"
#include "brimwell/core/snapshots/snapshot.h"

namespace brimwell::RestorePlanner {

// The plan is built in stages whose steps follow one another: (1) the applications are ordered
// by `order`, stably, and filtered by the selection; (2) launches of those not running now;
// (3) documents not open now, each opened once by the first application that showed it, rescued
// copies after their application's own and unmatched ones last; (4) browser, (5) Finder and
// (6) terminal windows with what isn't open now; (7) placement of the selected applications'
// framed windows whose document is open once the plan has run; (8) the clipboard, when the
// selection and the current clipboard allow it.
RestorePlan plan(const Snapshot& snapshot, const RestoreSelection& selection,
                 const CurrentWorkspace& current);

}  // namespace brimwell::RestorePlanner
