// The command lines a desktop file's Exec words stand for: their field codes replaced by the
// files to open or dropped. Pure; callable from any thread.
#pragma once

#include <string>
#include <vector>

namespace brimwell {

// The command lines that start the program with `files`: a word that is exactly %F or %U takes
// every file, one that is exactly %f or %u takes one file per command line (one line per file);
// %% becomes %, every other field code is dropped (a word left empty by that is dropped too).
// Without files every file code is dropped and there is one line; with files and no file code,
// the files are given after the words, all on one line.
std::vector<std::vector<std::string>> execCommands(const std::vector<std::string>& words,
                                                   const std::vector<std::string>& files);

}  // namespace brimwell
