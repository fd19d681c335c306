#include "linux/capture/kwin_window_source.h"

#include <nlohmann/json.hpp>

#include "linux/capture/kwin_report.h"

namespace brimwell {

Result<Desktop> KwinWindowSource::desktop() {
  auto report = scripting_.run([](const KwinReplyAddress& reply) -> Result<std::string> {
    return kwinWindowListScript(reply);
  });
  if (!report) return Unexpected(report.error());
  return parseKwinReport(*report);
}

Status placeKwinWindow(const KwinScripting& scripting, const KwinPlacement& placement) {
  auto answer = scripting.run(
      [&](const KwinReplyAddress& reply) { return kwinPlacementScript(placement, reply); });
  if (!answer) return Unexpected(answer.error());
  const auto parsed = nlohmann::json::parse(*answer, nullptr, false);
  const auto result = parsed.is_object() ? parsed.find("result") : parsed.end();
  if (result == parsed.end() || !result->is_string()) {
    return fail("KWin's script answered something other than what it was asked.");
  }
  if (*result == kKwinPlaced) return {};
  if (*result == kKwinMissing) return fail("The window is no longer open.");
  return fail("KWin's script answered something other than what it was asked.");
}

}  // namespace brimwell
