#include "linux/restore/exec_line.h"

#include <algorithm>
#include <cstddef>

namespace brimwell {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string unescapeString(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

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

Result<std::vector<std::string>> execWords(std::string_view exec) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (c == '"') {
      inWord = true;
      bool closed = false;
      for (++i; i < exec.size(); ++i) {
        if (exec[i] == '"') {
          closed = true;
          break;
        }
        if (exec[i] == '\\' && i + 1 < exec.size() &&
            std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
          ++i;
        }
        word += exec[i];
      }
      if (!closed) return fail("The Exec line has a quote that is never closed.");
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  if (words.empty()) return fail("The Exec line names no program.");
  return words;
}

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

std::optional<std::string> desktopExecValue(std::string_view text) {
  bool inGroup = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const auto line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inGroup) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || trimmed(line.substr(0, equals)) != "Exec") continue;
    return unescapeString(trimmed(line.substr(equals + 1)));
  }
  return std::nullopt;
}

}  // namespace brimwell
