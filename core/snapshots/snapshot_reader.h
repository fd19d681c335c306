// SnapshotReader: decodes a snapshot file with the shared decoder's exact results and errors, but
// reads the clipboard's Base64 in place instead of as a JSON value (anything unusual there falls
// back to the shared decoder). Callable from any thread.
#pragma once

#include <cstddef>
#include <string_view>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/snapshot.h"

namespace brimwell::SnapshotReader {

// Spare bytes the parser may read past the end of the text.
inline constexpr std::size_t padding = 64;

// The snapshot in `text`. When `allocated` (the bytes readable from text.data()) leaves `padding`
// spare bytes, the clipboard is read in place; otherwise the shared decoder reads everything.
Result<Snapshot> decode(std::string_view text, std::size_t allocated = 0);

}  // namespace brimwell::SnapshotReader
