// The command lines a desktop file's Exec value stands for: its words split the way desktop
// files quote them, its field codes replaced by the files to open or dropped. Pure; callable
// from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/error.h"

namespace brimwell {

// The words of an Exec value (already unescaped as a desktop-file string): split at unquoted
// spaces and tabs; inside double quotes a backslash keeps the next of `"`, `` ` ``, `$` and `\`.
// Fails on an unterminated quote or an empty line.
Result<std::vector<std::string>> execWords(std::string_view exec);

// The command lines that start the program with `files`: a word that is exactly %F or %U takes
// every file, one that is exactly %f or %u takes one file per command line (one line per file);
// %% becomes %, every other field code is dropped (a word left empty by that is dropped too).
// Without files every file code is dropped and there is one line; with files and no file code,
// the files are given after the words, all on one line.
std::vector<std::vector<std::string>> execCommands(const std::vector<std::string>& words,
                                                   const std::vector<std::string>& files);

// The Exec value of the [Desktop Entry] group of a desktop file's `text`, with the desktop-file
// string escapes (\s \n \t \r \\) undone, or nothing when the group has no Exec.
std::optional<std::string> desktopExecValue(std::string_view text);

}  // namespace brimwell
