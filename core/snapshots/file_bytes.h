// Reading a snapshot file into memory for the parser: the whole file, or the file with its long
// strings left out (see LongStringSkipper). Both leave `padding` zeroed bytes allocated behind the
// text, so a parser that reads past its end reads it in place.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace brimwell {

struct FileBytes {
  static constexpr std::size_t padding = 64;

  std::unique_ptr<char[]> data;
  std::size_t size = 0;       // bytes of text
  std::size_t allocated = 0;  // bytes readable from data, at least size + padding
  bool shortened = false;     // some string's content was left out

  std::string_view view() const { return {data.get(), size}; }

  // The whole file, or nothing when it can't be read, isn't a regular file or holds more than
  // kSnapshotFileLimit bytes.
  static std::optional<FileBytes> read(const std::filesystem::path& path);
  // The file with the content of every string longer than `longString` bytes left out, read a
  // piece at a time so the left-out content is never held whole. When a left-out string turns out
  // to hold more than printable ASCII, the whole file is read instead. Nothing when the file
  // can't be read.
  static std::optional<FileBytes> readSkippingLongStrings(const std::filesystem::path& path,
                                                          std::size_t longString);
};

}  // namespace brimwell
