#include "power/power_settings_file.h"

#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {

PowerSettings loadPowerSettings(const std::filesystem::path& path) {
  const auto text = readFile(path);
  if (!text) return {};
  return decodePowerSettings(*text).value_or(PowerSettings{});
}

Status savePowerSettings(const std::filesystem::path& path, const PowerSettings& settings) {
  if (auto written = AtomicFile::write(encodePowerSettings(settings), path); !written) {
    return fail("The power settings could not be saved in " + path.string() + " (" +
                written.error().message() + ").");
  }
  return {};
}

}  // namespace brimwell
