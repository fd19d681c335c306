// SnapshotWriter: writes a snapshot's JSON text directly, byte for byte the text the shared
// encoder gives (sorted keys, compact, slashes unescaped, absent optionals left out, the same
// number and string forms) without building a JSON value tree first, and hands it over in pieces
// as it goes. Callable from any thread.
#pragma once

#include <string>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/storage/atomic_file.h"

namespace brimwell::SnapshotWriter {

// Hands the snapshot's file text to `sink` in pieces while writing it, so the whole text is never
// held in memory; fails as `encode` does, or with the first error of the sink.
Status write(const Snapshot& snapshot, const AtomicFile::ByteSink& sink);

// The snapshot's file text; fails, as the shared encoder does, for a number JSON can't hold.
Result<std::string> encode(const Snapshot& snapshot);

}  // namespace brimwell::SnapshotWriter
