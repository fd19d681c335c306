// The built-in panel's backlight as sysfs describes it (<root>/<name>/brightness, max_brightness,
// type), and the conversion between its raw levels and the 0…1 scale of the settings and the
// power-saver record. Reading only; any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brimwell {

struct Backlight {
  std::string name;
  std::string type;  // "firmware", "platform" or "raw"
  long brightness = 0;
  long maxBrightness = 0;

  // The current level on the 0…1 scale.
  double fraction() const { return static_cast<double>(brightness) / maxBrightness; }
  // The raw level nearest `fraction` (clamped to 0…1), never 0 for a fraction above 0 so the
  // panel never goes dark by rounding.
  long level(double fraction) const;
};

// Every readable backlight under `root` (those whose maximum is positive), by name.
std::vector<Backlight> readBacklights(const std::filesystem::path& root);
// The panel's backlight among `all`: firmware before platform before raw, then by name.
std::optional<Backlight> panelBacklight(const std::vector<Backlight>& all);

}  // namespace brimwell
