// SnapshotReader: decodes a whole snapshot file exactly as the shared decoder does, without
// building the clipboard's Base64 text as a JSON value: the clipboard is read in place and the
// rest of the document goes through the shared decoder. Anything unusual in the clipboard falls
// back to the shared decoder, so results and errors are always the shared decoder's. Callable
// from any thread.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/base/error.h"
#include "core/snapshots/snapshot.h"

namespace brimwell::SnapshotReader {

// Spare bytes the parser may read past the end of the text.
inline constexpr std::size_t padding = 64;

// The snapshot in `text`. When `allocated` (the bytes readable from text.data()) leaves `padding`
// spare bytes, the clipboard is read in place; otherwise the shared decoder reads everything.
Result<Snapshot> decode(std::string_view text, std::size_t allocated = 0);

}  // namespace brimwell::SnapshotReader
