#include "linux/capture/desktop_entry.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "brimwell/core/base/white_space.h"

namespace brimwell {
namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A desktop-file string value with its escapes undone.
std::string unescaped(std::string_view value) {
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

// The program Exec words start: the first word, past an "env" and its assignments. A field code
// is never a program: nothing would be left to start once it was replaced or dropped.
std::string execProgram(const std::vector<std::string>& words) {
  std::size_t first = 0;
  if (first < words.size() && std::filesystem::path(words[first]).filename() == "env") {
    ++first;
    while (first < words.size() && words[first].find('=') != std::string::npos) ++first;
  }
  if (first >= words.size() || words[first].starts_with('%')) return {};
  return std::filesystem::path(words[first]).filename().string();
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(std::string id, std::string_view text) {
  DesktopEntry entry{.id = std::move(id)};
  bool inGroup = false, sawGroup = false, application = false, hidden = false;
  std::string exec;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const auto line = trimWhiteSpace(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inGroup = line == "[Desktop Entry]";
      sawGroup = sawGroup || inGroup;
      continue;
    }
    if (!inGroup) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const auto key = trimWhiteSpace(line.substr(0, equals));
    const auto value = unescaped(trimWhiteSpace(line.substr(equals + 1)));
    if (key == "Type") application = value == "Application";
    if (key == "Hidden") hidden = value == "true";
    if (key == "Name") entry.name = value;
    if (key == "Exec") exec = value;
    if (key == "StartupWMClass") entry.startupWMClass = value;
  }
  if (auto words = execWords(exec)) entry.exec = std::move(*words);
  entry.program = execProgram(entry.exec);
  if (!sawGroup || !application || hidden || entry.name.empty() || entry.program.empty()) {
    return std::nullopt;
  }
  return entry;
}

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

std::string desktopFileID(const std::filesystem::path& applicationsDir,
                          const std::filesystem::path& file) {
  std::string id = file.lexically_relative(applicationsDir).string();
  std::replace(id.begin(), id.end(), '/', '-');
  constexpr std::string_view suffix = ".desktop";
  if (id.ends_with(suffix)) id.resize(id.size() - suffix.size());
  return id;
}

const DesktopEntry* matchDesktopEntry(const std::vector<DesktopEntry>& entries,
                                      const ProgramFacts& program) {
  const std::function<bool(const DesktopEntry&)> rules[] = {
      [&](const DesktopEntry& e) {
        return !program.appClass.empty() && equalIgnoringCase(e.startupWMClass, program.appClass);
      },
      [&](const DesktopEntry& e) {
        return (!program.executableName.empty() && e.program == program.executableName) ||
               (!program.appInstance.empty() && e.program == program.appInstance);
      },
      [&](const DesktopEntry& e) {
        return (!program.appClass.empty() && equalIgnoringCase(e.id, program.appClass)) ||
               (!program.appInstance.empty() && equalIgnoringCase(e.id, program.appInstance));
      },
  };
  for (const auto& rule : rules) {
    const auto found = std::find_if(entries.begin(), entries.end(), rule);
    if (found != entries.end()) return &*found;
  }
  return nullptr;
}

}  // namespace brimwell
