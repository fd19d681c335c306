// Reading a whole file into memory, the first step of every store's read. Every read is bounded:
// a file is read only when it is a regular file of at most a given size, and opening never
// blocks, so a FIFO, a device or a huge file can't stall a reader or exhaust its memory.
#pragma once

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "brimwell/core/base/error.h"

namespace brimwell {

// The most a state or settings file may hold; every one the system writes is far smaller.
inline constexpr std::size_t kSmallFileLimit = std::size_t{1} << 20;

// The most a snapshot file may hold: far above a 10 MiB clipboard as Base64 with the text of
// thousands of windows and tabs.
inline constexpr std::size_t kSnapshotFileLimit = std::size_t{256} << 20;

// The bytes of the file at `path`. Fails with the system's error when it can't be opened or
// read, and with one sentence naming it when it isn't a regular file (code EINVAL) or holds more
// than `limit` bytes (code EFBIG).
Result<std::string> readFile(const std::filesystem::path& path,
                             std::size_t limit = kSmallFileLimit);

// The bytes of the file at `path`, or nothing when readFile fails for any reason: for readers to
// whom an unreadable file is an absent one, such as the files of a process that may end at any
// moment.
std::optional<std::string> readFileIfReadable(const std::filesystem::path& path,
                                              std::size_t limit = kSmallFileLimit);

// The first `limit` bytes of the file at `path` (all of it when shorter), refused as readFile
// refuses what isn't a regular file: for a log whose commands before any cut still count.
Result<std::string> readFileHead(const std::filesystem::path& path, std::size_t limit);

// The same as readFile for a file the caller has opened (and judged) itself, named `path` in the
// sentences; the descriptor stays open.
Result<std::string> readOpenFile(int fd, const std::filesystem::path& path, std::size_t limit);

// True for the two refusals above, whose sentences already name the file.
inline bool isRefusedFile(const Error& error) {
  return error.code() == EINVAL || error.code() == EFBIG;
}

// "1 MiB", "256 MiB" or "1000 bytes": a limit in words.
std::string sizeInWords(std::size_t bytes);

}  // namespace brimwell
