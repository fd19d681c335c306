#include "linux/doctor/machine_probe.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <future>
#include <sstream>

#include "brimwell/core/base/date.h"
#include "linux/backlight.h"
#include "linux/capture/child_command.h"
#include "linux/capture/chromium_family.h"
#include "linux/capture/chromium_session_source.h"
#include "linux/capture/chromium_sessions.h"
#include "linux/capture/desktop_catalog.h"
#include "linux/capture/firefox_sessions.h"
#include "linux/deadline_bus.h"
#include "linux/platform_profile.h"
#include "linux/power_supply.h"
#include "linux/sysfs_battery_reading.h"
#include "linux/user_home.h"
#include "linux/xdg_locations.h"

namespace brimwell {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";

// Runs `start` with a completion and waits for what it is handed (the client bounds the wait).
template <class T, class Start>
T await(Start start) {
  auto promise = std::make_shared<std::promise<T>>();
  auto future = promise->get_future();
  start([promise](T value) { promise->set_value(std::move(value)); });
  return future.get();
}

BusAnswer answerOf(Result<std::string> result) {
  if (result) return {std::move(*result), ""};
  return {std::nullopt, result.error().message()};
}

Result<std::string> logindCall(DeadlineBus& bus, const char* method, const char* argument) {
  auto message = bus.newCall(kLogind, kLogindPath, kLogindManager, method);
  if (message && argument != nullptr && sd_bus_message_append(message.get(), "s", argument) < 0) {
    message.reset();
  }
  auto reply = bus.call(std::move(message));
  if (!reply) return Unexpected(std::move(reply).error());
  const char* text = nullptr;
  // GetSession answers an object path, the Can questions a string.
  if (sd_bus_message_read(reply->get(), argument ? "o" : "s", &text) < 0) {
    return fail(std::string(method) + "'s answer isn't what logind sends");
  }
  return std::string(text);
}

void probeBattery(const ProbeOptions& options, MachineFacts& facts) {
  facts.powerSupplyDir = "/sys/class/power_supply";
  const auto supplies = readPowerSupplies(options.root / "sys" / "class" / "power_supply");
  for (const auto& supply : supplies) {
    if (supply.text("type") == "Battery" && supply.text("scope") != "Device" &&
        supply.text("present") != "0") {
      facts.batteryPath = facts.powerSupplyDir + "/" + supply.name;
      break;
    }
  }
  facts.batteryReadable =
      readingFromSysfs(supplies, std::chrono::time_point_cast<std::chrono::nanoseconds>(
                                     std::chrono::system_clock::now()))
          .has_value();
}

void probeHelper(const ProbeOptions& options, MachineFacts& facts) {
  facts.helper.socketPath = options.helper.socketPath;
  HelperClient client(options.helper);
  const auto state = await<HelperState>([&](auto done) { client.state(done); });
  if (std::holds_alternative<helper_state::NotInstalled>(state)) {
    facts.helper.reach = HelperFacts::Reach::notInstalled;
    return;
  }
  if (const auto* unreachable = std::get_if<helper_state::Unreachable>(&state)) {
    facts.helper.reach = HelperFacts::Reach::unreachable;
    facts.helper.reason = unreachable->reason;
    return;
  }
  facts.helper.reach = HelperFacts::Reach::ready;
  const auto version = await<Result<std::int64_t>>([&](auto done) { client.helperVersion(done); });
  if (version) facts.helper.version = *version;
}

void probeAuthorization(const ProbeOptions& options, DeadlineBus& system, MachineFacts& facts) {
  auto& authorization = facts.authorization;
  authorization.policyPath = kPolkitPolicyPath;
  std::error_code error;
  authorization.policyInstalled = std::filesystem::is_regular_file(
      options.root / std::filesystem::path(kPolkitPolicyPath).relative_path(), error);
  if (options.uid == 0) {
    authorization.mayChange = AuthorizationFacts::Answer::root;
    return;
  }
  auto message =
      system.newCall("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                     "org.freedesktop.PolicyKit1.Authority", "CheckAuthorization");
  // This process as polkit's unix-process subject; a start time of 0 lets polkit look it up. No
  // details and no interaction, as the helper asks.
  if (message && (sd_bus_message_append(message.get(), "(sa{sv})", "unix-process", 3, "pid", "u",
                                        static_cast<std::uint32_t>(::getpid()), "start-time", "t",
                                        std::uint64_t{0}, "uid", "i",
                                        static_cast<std::int32_t>(options.uid)) < 0 ||
                  sd_bus_message_append(message.get(), "sa{ss}us",
                                        "com.tallowgate.brimwell.helper.change", 0, 0u, "") < 0)) {
    message.reset();
  }
  auto reply = system.call(std::move(message));
  int authorized = 0;
  int challenge = 0;
  if (!reply) {
    authorization.failure = reply.error().message();
    return;
  }
  if (sd_bus_message_enter_container(reply->get(), 'r', "bba{ss}") < 0 ||
      sd_bus_message_read(reply->get(), "bb", &authorized, &challenge) < 0) {
    authorization.failure = "polkit's answer isn't what polkit sends";
    return;
  }
  authorization.mayChange = authorized  ? AuthorizationFacts::Answer::allowed
                            : challenge ? AuthorizationFacts::Answer::needsPassword
                                        : AuthorizationFacts::Answer::denied;
}

void probePowerProfile(DeadlineBus& system, MachineFacts& facts) {
  auto profile = system.stringProperty("net.hadess.PowerProfiles", "/net/hadess/PowerProfiles",
                                       "net.hadess.PowerProfiles", "ActiveProfile");
  if (profile) {
    facts.powerProfile.value = *profile;
  } else if (profile.error().code() != ENOENT) {
    facts.powerProfile.failure = profile.error().message();
  }
}

void probeNotifications(DeadlineBus& session, MachineFacts& facts) {
  auto reply = session.call(
      session.newCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                      "org.freedesktop.Notifications", "GetServerInformation"));
  if (!reply) {
    facts.notificationServer.failure = reply.error().message();
    return;
  }
  const char* name = nullptr;
  const char* vendor = nullptr;
  const char* version = nullptr;
  const char* protocolVersion = nullptr;
  if (sd_bus_message_read(reply->get(), "ssss", &name, &vendor, &version, &protocolVersion) < 0) {
    facts.notificationServer.failure = "its answer isn't what a notification server sends";
    return;
  }
  facts.notificationServer.value = std::string(name) + " " + version;
}

std::optional<std::filesystem::path> onPath(const std::string& path, const std::string& program) {
  std::istringstream dirs(path);
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (dir.empty()) continue;
    const auto file = std::filesystem::path(dir) / program;
    std::error_code error;
    if (std::filesystem::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0) {
      return file;
    }
  }
  return std::nullopt;
}

// Whether `vim --version` lists the client-server among the features it was built with.
bool hasClientServer(const std::filesystem::path& vim) {
  const auto version = runChild({vim.string(), "--version"}, 2, 64 * 1024);
  return version && version->exitStatus == 0 &&
         version->out.find("+clientserver") != std::string::npos;
}

void probeApplications(const ProbeOptions& options, MachineFacts& facts) {
  auto& apps = facts.applications;
  FileDesktopCatalog catalog(options.applicationDirs);
  for (const auto& entry : catalog.entries()) apps.desktopIDs.push_back(entry.id);
  apps.tmuxInstalled = onPath(options.path, "tmux").has_value();
  apps.emacsclientInstalled = onPath(options.path, "emacsclient").has_value();
  if (const auto vim = onPath(options.path, "vim")) apps.vimClientServer = hasClientServer(*vim);
  if (options.home) {
    if (const auto profiles = firefoxProfiles(*options.home)) {
      auto& firefox = apps.browserSessions[BrowserKind::firefox];
      firefox.profiles = profiles->size();
      for (const auto& profile : *profiles) {
        if (readFirefoxSession(recoverySessionFile(profile))) ++firefox.readable;
      }
    }
  }
  if (!options.configHome) return;
  for (const BrowserKind kind : kChromiumFamily) {
    const auto userData = *options.configHome / std::string(userDataFolder(kind));
    std::error_code error;
    if (!std::filesystem::is_directory(userData, error)) continue;
    auto& browser = apps.browserSessions[kind];
    for (const auto& profile : chromiumProfileFolders(userData)) {
      ++browser.profiles;
      const auto file = newestSessionFile(profile);
      if (file && readChromiumSession(*file)) ++browser.readable;
    }
  }
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

ProbeOptions ProbeOptions::forProcess() {
  ProbeOptions options;
  options.session = SessionEnvironment::fromProcess();
  options.applicationDirs = xdgApplicationDirs();
  options.path = variable("PATH");
  options.home = currentUserHome();
  options.configHome = currentUserConfigHome();
  options.uid = ::getuid();
  return options;
}

MachineFacts probeMachine(const ProbeOptions& options) {
  MachineFacts facts;
  probeBattery(options, facts);
  probeHelper(options, facts);

  DeadlineBus system(DeadlineBus::Kind::system, options.busLimit);
  facts.canHibernate = answerOf(logindCall(system, "CanHibernate", nullptr));
  facts.canHybridSleep = answerOf(logindCall(system, "CanHybridSleep", nullptr));
  facts.canSuspend = answerOf(logindCall(system, "CanSuspend", nullptr));
  facts.logindSession = answerOf(logindCall(system, "GetSession", "auto"));
  probeAuthorization(options, system, facts);
  probePowerProfile(system, facts);

  facts.hibernation = readHibernationFacts(options.root);
  facts.platformProfile = readPlatformProfile(options.root / "sys");
  facts.backlightDir = "/sys/class/backlight";
  if (const auto panel =
          panelBacklight(readBacklights(options.root / "sys" / "class" / "backlight"))) {
    facts.panelBacklight = panel->name;
  }
  facts.desktop = chooseDesktopBackend(options.session);

  DeadlineBus session(DeadlineBus::Kind::session, options.busLimit);
  probeNotifications(session, facts);
  if (facts.desktop == DesktopBackendKind::gnome) {
    const auto extension = readShellExtension(session, kBrimwellExtensionUUID);
    facts.gnomeExtension = extension ? extensionVerdict(*extension)
                                     : ExtensionVerdict{false, extension.error().message()};
  }
  probeApplications(options, facts);
  return facts;
}

}  // namespace brimwell
