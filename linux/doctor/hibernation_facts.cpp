#include "linux/doctor/hibernation_facts.h"

#include <charconv>
#include <sstream>

#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

// Kernel text files this small are read whole; anything larger isn't what the kernel writes.
constexpr std::size_t kKernelFileLimit = 64 * 1024;

std::optional<long long> wholeNumber(std::string_view text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

std::vector<std::string> words(std::string_view text) {
  std::istringstream stream{std::string(text)};
  std::vector<std::string> result;
  for (std::string word; stream >> word;) result.push_back(word);
  return result;
}

}  // namespace

std::optional<long long> meminfoKiB(std::string_view meminfo, std::string_view key) {
  std::istringstream lines{std::string(meminfo)};
  for (std::string line; std::getline(lines, line);) {
    const auto fields = words(line);
    if (fields.size() >= 2 && fields[0] == std::string(key) + ":" &&
        (fields.size() == 2 || fields[2] == "kB")) {
      return wholeNumber(fields[1]);
    }
  }
  return std::nullopt;
}

std::vector<SwapArea> parseSwaps(std::string_view swaps) {
  std::istringstream lines{std::string(swaps)};
  std::vector<SwapArea> areas;
  std::string line;
  std::getline(lines, line);  // Filename Type Size Used Priority
  while (std::getline(lines, line)) {
    const auto fields = words(line);
    if (fields.size() < 3) continue;
    if (auto size = wholeNumber(fields[2])) areas.push_back({fields[0], *size});
  }
  return areas;
}

std::optional<std::string> resumeParameter(std::string_view commandLine) {
  std::optional<std::string> value;
  for (const auto& word : words(commandLine)) {
    if (word.starts_with("resume=") && word.size() > 7) value = word.substr(7);
  }
  return value;
}

std::vector<std::string> choiceWords(std::string_view text) {
  auto result = words(text);
  for (auto& word : result) {
    if (word.size() >= 2 && word.front() == '[' && word.back() == ']') {
      word = word.substr(1, word.size() - 2);
    }
  }
  return result;
}

std::optional<std::string> selectedChoice(std::string_view text) {
  for (const auto& word : words(text)) {
    if (word.size() > 2 && word.front() == '[' && word.back() == ']') {
      return word.substr(1, word.size() - 2);
    }
  }
  return std::nullopt;
}

std::optional<long long> usableSwapKiB(const HibernationFacts& facts) {
  if (!facts.swaps) return facts.swapTotalKiB;
  long long total = 0;
  for (const auto& area : *facts.swaps) {
    if (area.name.find("zram") == std::string::npos) total += area.kib;
  }
  return total;
}

HibernationFacts readHibernationFacts(const std::filesystem::path& root) {
  HibernationFacts facts;
  const auto read = [](const std::filesystem::path& file) {
    return readFileIfReadable(file, kKernelFileLimit);
  };
  if (const auto meminfo = read(root / "proc" / "meminfo")) {
    facts.memTotalKiB = meminfoKiB(*meminfo, "MemTotal");
    facts.swapTotalKiB = meminfoKiB(*meminfo, "SwapTotal");
  }
  if (const auto swaps = read(root / "proc" / "swaps")) facts.swaps = parseSwaps(*swaps);
  if (const auto commandLine = read(root / "proc" / "cmdline")) {
    facts.commandLineResume = resumeParameter(*commandLine);
  }
  if (const auto resume = read(root / "sys" / "power" / "resume")) {
    const auto fields = words(*resume);
    if (!fields.empty()) facts.resumeDevice = fields.front();
  }
  if (const auto lockdown = read(root / "sys" / "kernel" / "security" / "lockdown")) {
    facts.lockdown = selectedChoice(*lockdown);
  }
  if (const auto disk = read(root / "sys" / "power" / "disk")) {
    facts.diskModes = choiceWords(*disk);
  }
  if (const auto state = read(root / "sys" / "power" / "state")) {
    facts.sleepStates = choiceWords(*state);
  }
  return facts;
}

}  // namespace brimwell
