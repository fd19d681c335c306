#include "linux/gnome_extension.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

constexpr const char* kShellName = "org.gnome.Shell";
constexpr const char* kShellPath = "/org/gnome/Shell";
constexpr const char* kExtensionsInterface = "org.gnome.Shell.Extensions";
// The most entries and Shell versions believed from one answer, and the longest text.
constexpr int kMaxEntries = 256;
constexpr std::size_t kMaxVersions = 64;
constexpr std::size_t kMaxText = 1024;
constexpr std::size_t kMetadataLimit = 64 * 1024;
constexpr auto kTurningOn = std::chrono::seconds(3);

Unexpected<Error> shellSilent(const Error& error) {
  if (error.code() == ENOENT) return fail("GNOME Shell doesn't answer on the session bus.");
  return fail("GNOME Shell doesn't answer for its extensions (" + error.message() + ").");
}

std::string bounded(const char* text) { return std::string(text, strnlen(text, kMaxText)); }

std::string versionList(const std::vector<std::string>& versions) {
  std::string list;
  for (std::size_t i = 0; i < versions.size(); ++i) {
    if (i > 0) list += i + 1 == versions.size() ? " and " : ", ";
    list += versions[i];
  }
  return list;
}

// One entry of the extension's description; only the three Brimwell uses are read.
int readEntry(sd_bus_message* m, ShellExtensionFacts& facts, std::string& directory) {
  const char* key = nullptr;
  int r = sd_bus_message_read(m, "s", &key);
  if (r < 0) return r;
  const char* contents = nullptr;
  if ((r = sd_bus_message_peek_type(m, nullptr, &contents)) < 0) return r;
  const std::string_view type = contents == nullptr ? "" : contents;
  const std::string_view name = key;
  if (name == "state" && type == "d") {
    double state = 0;
    if ((r = sd_bus_message_read(m, "v", "d", &state)) < 0) return r;
    facts.state = shellExtensionState(state);
  } else if (name == "error" && type == "s") {
    const char* error = nullptr;
    if ((r = sd_bus_message_read(m, "v", "s", &error)) < 0) return r;
    facts.error = bounded(error);
  } else if (name == "path" && type == "s") {
    const char* path = nullptr;
    if ((r = sd_bus_message_read(m, "v", "s", &path)) < 0) return r;
    directory = bounded(path);
  } else {
    return sd_bus_message_skip(m, "v");
  }
  return 0;
}

// The Shell versions an extension's metadata names; none when it can't be read.
std::vector<std::string> shellVersionsIn(const std::filesystem::path& metadata) {
  std::vector<std::string> versions;
  const auto text = readFile(metadata, kMetadataLimit);
  if (!text) return versions;
  const auto tree = nlohmann::json::parse(*text, nullptr, false);
  if (!tree.is_object() || !tree.contains("shell-version") || !tree["shell-version"].is_array())
    return versions;
  for (const auto& version : tree["shell-version"]) {
    if (version.is_string() && versions.size() < kMaxVersions)
      versions.push_back(version.get<std::string>().substr(0, kMaxText));
  }
  return versions;
}

}  // namespace

ShellExtensionFacts::State shellExtensionState(double state) {
  using State = ShellExtensionFacts::State;
  if (state == 1) return State::on;
  if (state == 2 || state == 6) return State::off;
  if (state == 3) return State::failed;
  if (state == 4) return State::outOfDate;
  if (state == 99) return State::unknown;  // uninstalled while the Shell runs
  return State::other;
}

ExtensionVerdict extensionVerdict(const ShellExtensionFacts& facts) {
  using State = ShellExtensionFacts::State;
  const std::string shell = "GNOME Shell " + facts.shellVersion;
  switch (facts.state) {
    case State::on:
      return {true, "Brimwell's extension is on in " + shell + "."};
    case State::off:
      return {false,
              "Brimwell's extension is off in " + shell + "; brimwell setup gnome turns it on."};
    case State::failed:
      return {false, "Brimwell's extension failed in " + shell + " (" +
                         (facts.error.empty() ? "the Shell gives no reason" : facts.error) + ")."};
    case State::outOfDate:
      return {false, "Brimwell's extension supports GNOME Shell " +
                         versionList(facts.supportedVersions) + ", not " + facts.shellVersion +
                         "."};
    case State::unknown:
      return {false, shell +
                         " doesn't know Brimwell's extension: install Brimwell, then log out and "
                         "back in."};
    case State::other:
      break;
  }
  return {false, "Brimwell's extension isn't ready in " + shell + "; try again in a moment."};
}

Result<ShellExtensionFacts> readShellExtension(DeadlineBus& session, const std::string& uuid) {
  auto version =
      session.stringProperty(kShellName, kShellPath, kExtensionsInterface, "ShellVersion");
  if (!version) return shellSilent(version.error());
  ShellExtensionFacts facts{.shellVersion = bounded(version->c_str())};

  auto call = session.newCall(kShellName, kShellPath, kExtensionsInterface, "GetExtensionInfo");
  if (call && sd_bus_message_append(call.get(), "s", uuid.c_str()) < 0) call.reset();
  auto reply = session.call(std::move(call));
  if (!reply) return shellSilent(reply.error());
  sd_bus_message* m = reply->get();
  std::string directory;
  int r = sd_bus_message_enter_container(m, 'a', "{sv}");
  int entries = 0;
  while (r >= 0 && entries++ < kMaxEntries &&
         (r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
    if ((r = readEntry(m, facts, directory)) >= 0) r = sd_bus_message_exit_container(m);
  }
  if (r < 0) return fail("GNOME Shell's answer about its extensions isn't what the Shell sends.");
  // The Shell's answer leaves lists out, so the versions come from the extension's own metadata.
  if (!directory.empty()) facts.supportedVersions = shellVersionsIn(directory + "/metadata.json");
  return facts;
}

Result<ExtensionVerdict> setUpShellExtension(DeadlineBus& session, const std::string& uuid) {
  auto facts = readShellExtension(session, uuid);
  if (!facts) return Unexpected(facts.error());
  if (facts->state != ShellExtensionFacts::State::off) return extensionVerdict(*facts);

  auto call = session.newCall(kShellName, kShellPath, kExtensionsInterface, "EnableExtension");
  if (call && sd_bus_message_append(call.get(), "s", uuid.c_str()) < 0) call.reset();
  auto reply = session.call(std::move(call));
  if (!reply) return shellSilent(reply.error());
  // The Shell turns it on once it hears of the changed setting, a moment later.
  const auto deadline = std::chrono::steady_clock::now() + kTurningOn;
  auto after = readShellExtension(session, uuid);
  while (after && after->state == ShellExtensionFacts::State::off &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    after = readShellExtension(session, uuid);
  }
  if (!after) return Unexpected(after.error());
  if (after->state == ShellExtensionFacts::State::on) {
    return ExtensionVerdict{
        true, "Turned on Brimwell's extension in GNOME Shell " + after->shellVersion + "."};
  }
  if (after->state == ShellExtensionFacts::State::off) {
    return ExtensionVerdict{false, "GNOME Shell " + after->shellVersion +
                                       " kept Brimwell's extension off; extensions may be turned "
                                       "off as a whole in the Extensions app."};
  }
  return extensionVerdict(*after);
}

}  // namespace brimwell
