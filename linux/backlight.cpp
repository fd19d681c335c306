#include "linux/backlight.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <system_error>

namespace brimwell {
namespace {

std::optional<long> readNumber(const std::filesystem::path& file) {
  std::ifstream in(file);
  long value = 0;
  if (!(in >> value) || value < 0) return std::nullopt;
  return value;
}

std::string readWord(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string word;
  in >> word;
  return word;
}

int typeRank(const std::string& type) {
  if (type == "firmware") return 0;
  if (type == "platform") return 1;
  if (type == "raw") return 2;
  return 3;
}

}  // namespace

long Backlight::level(double wanted) const {
  const double clamped = std::clamp(wanted, 0.0, 1.0);
  const long nearest = std::lround(clamped * maxBrightness);
  return clamped > 0 ? std::max(nearest, 1L) : 0;
}

std::vector<Backlight> readBacklights(const std::filesystem::path& root) {
  std::vector<Backlight> found;
  std::error_code error;
  // Incremented through the error-code overload: a listing that fails ends instead of throwing.
  for (std::filesystem::directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const auto& entry = *it;
    const auto brightness = readNumber(entry.path() / "brightness");
    const auto maximum = readNumber(entry.path() / "max_brightness");
    if (!brightness || !maximum || *maximum <= 0) continue;
    found.push_back({entry.path().filename().string(), readWord(entry.path() / "type"),
                     std::min(*brightness, *maximum), *maximum});
  }
  std::sort(found.begin(), found.end(),
            [](const Backlight& a, const Backlight& b) { return a.name < b.name; });
  return found;
}

std::optional<Backlight> panelBacklight(const std::vector<Backlight>& all) {
  const auto best = std::min_element(all.begin(), all.end(), [](const auto& a, const auto& b) {
    return std::pair(typeRank(a.type), a.name) < std::pair(typeRank(b.type), b.name);
  });
  if (best == all.end()) return std::nullopt;
  return *best;
}

}  // namespace brimwell
