// SnapshotWriter: writes a snapshot's JSON text directly, byte for byte the text the shared
// encoder gives (sorted keys, compact, slashes unescaped, absent optionals left out, the same
// number and string forms) without building a JSON value tree first. Callable from any thread.
#pragma once

#include <string>

#include "core/base/error.h"
#include "core/snapshots/snapshot.h"

namespace brimwell::SnapshotWriter {

// The snapshot's file text; fails, as the shared encoder does, for a number JSON can't hold.
Result<std::string> encode(const Snapshot& snapshot);

}  // namespace brimwell::SnapshotWriter
