#include "linux/restore/exec_line.h"

#include <algorithm>
#include <cstddef>

namespace brimwell {
namespace {

bool isFileCode(std::string_view word) {
  return word == "%f" || word == "%F" || word == "%u" || word == "%U";
}

// `word` with %% turned into % and every other field code dropped.
std::string withoutFieldCodes(std::string_view word) {
  std::string out;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      out += word[i];
    } else if (i + 1 < word.size()) {
      if (word[++i] == '%') out += '%';
    }
  }
  return out;
}

}  // namespace

std::vector<std::vector<std::string>> execCommands(const std::vector<std::string>& words,
                                                   const std::vector<std::string>& files) {
  const bool single = std::any_of(words.begin(), words.end(),
                                  [](const std::string& w) { return w == "%f" || w == "%u"; });
  const bool many = std::any_of(words.begin(), words.end(),
                                [](const std::string& w) { return w == "%F" || w == "%U"; });
  // Each command line's files: one line per file for %f/%u, else one line with all of them.
  std::vector<std::vector<std::string>> batches;
  if (single && !many && files.size() > 1) {
    for (const auto& file : files) batches.push_back({file});
  } else {
    batches.push_back(files);
  }
  std::vector<std::vector<std::string>> commands;
  for (const auto& batch : batches) {
    std::vector<std::string> line;
    bool placed = false;
    for (const auto& word : words) {
      if (isFileCode(word)) {
        if (!placed) line.insert(line.end(), batch.begin(), batch.end());
        placed = true;
        continue;
      }
      auto kept = withoutFieldCodes(word);
      if (!kept.empty()) line.push_back(std::move(kept));
    }
    if (!placed) line.insert(line.end(), batch.begin(), batch.end());
    commands.push_back(std::move(line));
  }
  return commands;
}

}  // namespace brimwell
