// AtomicFile: crash-safe replacement of a whole file. A reader, even after a power loss, sees
// either the complete old content or the complete new content: the bytes go to a hidden temporary
// file beside the target, are flushed, and are renamed over it; the directory is flushed last.
// Every store of the system writes through here. Stateless; callable from any thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"
#include "brimwell/core/storage/file_system.h"

namespace brimwell::AtomicFile {

// Flushes an open descriptor to stable storage.
using SyncFunction = std::function<Status(int fd)>;

// Asks the drive to flush its own cache where the platform can (F_FULLFSYNC), otherwise fsync.
Status fullSync(int fd);

// Receives the bytes of a produced write in order; fails with the file system's error.
using ByteSink = std::function<Status(std::string_view bytes)>;
// Hands a whole file's bytes to `sink`, piece by piece, and fails with its own error or with the
// first one the sink returned.
using Producer = std::function<Status(const ByteSink& sink)>;

// Replaces `url` with exactly `data`. On failure the target keeps its old content (or stays
// absent) and the temporary file is gone; the error is the system's (errno) except for directory
// creation, whose own error is passed on.
Status write(std::string_view data, const std::filesystem::path& url, const SyncFunction& sync,
             FileSystem& fileSystem = FileSystem::posix());
Status write(std::string_view data, const std::filesystem::path& url);

// The same write with the bytes handed over by `produce` while it makes them, so a large file is
// never held whole in memory. When `produce` fails the target is left as with any other failure.
Status writeProduced(const Producer& produce, const std::filesystem::path& url,
                     const SyncFunction& sync, FileSystem& fileSystem = FileSystem::posix());

// The hidden temporary name for `url`: "." + file name + "." + an upper-case UUID + ".tmp".
std::filesystem::path temporaryPath(const std::filesystem::path& url);

}  // namespace brimwell::AtomicFile
