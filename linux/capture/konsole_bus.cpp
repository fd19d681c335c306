#include "linux/capture/konsole_bus.h"

#include <charconv>

#include "linux/deadline_bus.h"

namespace brimwell {
namespace {

constexpr const char* kWindowInterface = "org.kde.konsole.Window";
constexpr const char* kSessionInterface = "org.kde.konsole.Session";
constexpr int kDisplayedTitle = 1;  // Konsole's title role for what the tab shows

Unexpected<Error> unreadable(const std::string& why) {
  return fail("Konsole's windows can't be read (" + why + ").");
}

std::optional<int> positiveNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
  return value;
}

// One Konsole process's service on one connection; every call fails with a clause.
class KonsoleBus {
 public:
  KonsoleBus(DeadlineBus& bus, std::string service) : bus_(bus), service_(std::move(service)) {}

  template <class Append>
  Result<SdBusMessage> call(const std::string& path, const char* interface, const char* member,
                            Append append) {
    auto message = bus_.newCall(service_.c_str(), path.c_str(), interface, member);
    if (message && append(message.get()) < 0) message.reset();
    return bus_.call(std::move(message));
  }
  Result<SdBusMessage> call(const std::string& path, const char* interface, const char* member) {
    return call(path, interface, member, [](sd_bus_message*) { return 0; });
  }

  Result<std::string> text(const std::string& path, const char* interface, const char* member,
                           std::optional<int> argument = std::nullopt) {
    auto reply = call(path, interface, member, [&](sd_bus_message* m) {
      return argument ? sd_bus_message_append(m, "i", *argument) : 0;
    });
    if (!reply) return Unexpected(reply.error());
    const char* value = nullptr;
    if (sd_bus_message_read(reply->get(), "s", &value) < 0) return unreadable(member);
    return std::string(value).substr(0, kMaxKonsoleTitle);
  }

  Result<std::vector<int>> children(const std::string& path, std::string_view prefix,
                                    std::size_t limit) {
    auto xml = text(path, "org.freedesktop.DBus.Introspectable", "Introspect");
    if (!xml) return Unexpected(xml.error());
    return numberedNodes(*xml, prefix, limit);
  }

  Result<std::vector<int>> sessions(int window) {
    auto reply = call("/Windows/" + std::to_string(window), kWindowInterface, "sessionList");
    if (!reply) return Unexpected(reply.error());
    sd_bus_message* m = reply->get();
    if (sd_bus_message_enter_container(m, 'a', "s") <= 0) return unreadable("sessionList");
    std::vector<int> ids;
    const char* id = nullptr;
    int r = 0;
    while ((r = sd_bus_message_read(m, "s", &id)) > 0) {
      const auto number = positiveNumber(id);
      if (number && ids.size() < kMaxKonsoleTabs) ids.push_back(*number);
    }
    if (r < 0) return unreadable("sessionList");
    return ids;
  }

  Result<KonsoleTab> tab(int session) {
    const std::string path = "/Sessions/" + std::to_string(session);
    auto reply = call(path, kSessionInterface, "processId");
    if (!reply) return Unexpected(reply.error());
    std::int32_t pid = 0;
    if (sd_bus_message_read(reply->get(), "i", &pid) < 0 || pid <= 0) {
      return unreadable("a tab's processId");
    }
    auto title = text(path, kSessionInterface, "title", kDisplayedTitle);
    if (!title) return Unexpected(title.error());
    return KonsoleTab{.shellPid = pid, .title = std::move(*title)};
  }

  std::optional<std::uint64_t> windowId(int window) {
    auto reply =
        call("/konsole/MainWindow_" + std::to_string(window), "org.kde.KMainWindow", "winId");
    std::int64_t id = 0;
    if (!reply || sd_bus_message_read(reply->get(), "x", &id) < 0 || id <= 0) return std::nullopt;
    return static_cast<std::uint64_t>(id);
  }

  // The title as the desktop shows it: Qt adds the application's name after a dash.
  std::string windowTitle(int window) {
    auto title = bus_.stringProperty(service_.c_str(),
                                     ("/konsole/MainWindow_" + std::to_string(window)).c_str(),
                                     "org.qtproject.Qt.QWidget", "windowTitle");
    if (!title) return {};
    if (!appName_) {
      auto name = bus_.stringProperty(service_.c_str(), "/MainApplication",
                                      "org.qtproject.Qt.QGuiApplication", "applicationDisplayName");
      appName_ = name ? name->substr(0, kMaxKonsoleTitle) : std::string();
    }
    if (!appName_->empty() && *title != *appName_) *title += " \u2014 " + *appName_;
    return title->substr(0, kMaxKonsoleTitle);
  }

 private:
  DeadlineBus& bus_;
  std::string service_;
  std::optional<std::string> appName_;
};

}  // namespace

std::vector<int> numberedNodes(std::string_view xml, std::string_view prefix, std::size_t limit) {
  std::vector<int> numbers;
  const std::string open = "<node name=\"" + std::string(prefix);
  for (auto at = xml.find(open); at != std::string_view::npos && numbers.size() < limit;
       at = xml.find(open, at + 1)) {
    const auto start = at + open.size();
    const auto end = xml.find('"', start);
    if (end == std::string_view::npos) break;
    if (const auto number = positiveNumber(xml.substr(start, end - start))) {
      numbers.push_back(*number);
    }
  }
  return numbers;
}

Result<std::vector<KonsoleWindow>> KonsoleBusSource::windows(int pid) {
  DeadlineBus bus(DeadlineBus::Kind::session, limit_);
  // Run separately, a Konsole names its service after itself; run as one process for every
  // window, it holds the plain name.
  std::string service;
  for (std::string name :
       {"org.kde.konsole-" + std::to_string(pid), std::string("org.kde.konsole")}) {
    if (bus.ownerProcess(name.c_str()) == pid) {
      service = std::move(name);
      break;
    }
  }
  if (service.empty()) return fail("Konsole doesn't answer on the session bus.");
  KonsoleBus konsole(bus, service);
  const auto numbers = konsole.children("/Windows", "", kMaxKonsoleWindows);
  if (!numbers) return Unexpected(numbers.error());
  // Konsole numbers its windows and its main windows alike, one of each per window; where the
  // two lists differ, the X ids and titles are left out rather than paired wrongly.
  const auto mains = konsole.children("/konsole", "MainWindow_", kMaxKonsoleWindows);
  const bool paired = mains && *mains == *numbers;
  std::vector<KonsoleWindow> windows;
  for (const int number : *numbers) {
    KonsoleWindow window;
    const auto sessions = konsole.sessions(number);
    if (!sessions) return Unexpected(sessions.error());
    for (const int session : *sessions) {
      auto tab = konsole.tab(session);
      if (!tab) return Unexpected(tab.error());
      window.tabs.push_back(std::move(*tab));
    }
    if (paired) {
      window.platformWindowId = konsole.windowId(number);
      window.title = konsole.windowTitle(number);
    }
    windows.push_back(std::move(window));
  }
  return windows;
}

}  // namespace brimwell
