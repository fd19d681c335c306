#include "linux/capture/sway_ipc.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "linux/capture/i3_ipc.h"

namespace brimwell {
namespace {

std::string socketFromEnvironment() {
  for (const char* name : {"SWAYSOCK", "I3SOCK"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

bool isContainerId(const WindowId& id) {
  return !id.empty() && id.size() <= 18 &&
         std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

SwayIpc::SwayIpc(std::string socketPath, double timeout)
    : socket_(socketPath.empty() ? socketFromEnvironment() : std::move(socketPath)),
      timeout_(timeout) {}

Result<SwayLayout> SwayIpc::layout() const {
  if (socket_.empty()) return fail("There is no sway socket to ask.");
  auto tree = i3Request(socket_, I3Message::getTree, {}, timeout_);
  if (!tree) return Unexpected(tree.error());
  return parseSwayTree(*tree);
}

Status SwayIpc::run(const WindowId& id, const std::string& command) const {
  if (socket_.empty()) return fail("There is no sway socket to ask.");
  if (!isContainerId(id)) return fail("There is no sway window " + id + ".");
  auto reply =
      i3Request(socket_, I3Message::runCommand, "[con_id=" + id + "] " + command, timeout_);
  if (!reply) return Unexpected(reply.error());
  const auto results = nlohmann::json::parse(*reply, nullptr, false);
  if (!results.is_array() || results.empty()) return fail(swayRefusal(*reply));
  for (const auto& result : results) {
    const auto success = result.is_object() ? result.find("success") : result.end();
    if (success == result.end() || !success->is_boolean() || !success->get<bool>()) {
      return fail(swayRefusal(*reply));
    }
  }
  return {};
}

std::string swayRefusal(std::string_view reply) {
  const auto results = nlohmann::json::parse(reply, nullptr, false);
  if (results.is_array()) {
    for (const auto& result : results) {
      if (!result.is_object()) continue;
      const auto error = result.find("error");
      if (error == result.end() || !error->is_string()) continue;
      std::string text = error->get<std::string>();
      // Only a short printable text becomes part of a sentence.
      const bool plain =
          !text.empty() && text.size() <= 200 &&
          std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c != 0x7f; });
      if (!plain) break;
      while (!text.empty() && text.back() == '.') text.pop_back();
      if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
          std::islower(static_cast<unsigned char>(text[1]))) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
      }
      return "sway refused: " + text + ".";
    }
  }
  return "sway refused the command.";
}

Result<Desktop> SwayWindowSource::desktop() {
  auto layout = ipc_.layout();
  if (!layout) return Unexpected(layout.error());
  return desktopOf(*layout);
}

}  // namespace brimwell
