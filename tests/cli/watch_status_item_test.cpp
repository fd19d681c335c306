#include "cli/watch_status_item.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "brimwell/core/journal/journal_store.h"
#include "tests/cli/run_tool.h"
#include "tests/cli/status_watcher.h"
#include "tests/support/private_bus.h"
#include "tests/support/scoped_environment.h"

namespace brimwell {
namespace {

// One node of a dbusmenu layout, its properties as text ("true"/"false" for booleans).
struct MenuNode {
  int id = 0;
  std::map<std::string, std::string> properties;
  std::vector<MenuNode> children;
};

// Reads one (ia{sv}av) node; false when the message doesn't hold one.
bool readNode(sd_bus_message* m, MenuNode& node) {
  if (sd_bus_message_enter_container(m, 'r', "ia{sv}av") <= 0) return false;
  if (sd_bus_message_read(m, "i", &node.id) < 0) return false;
  if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) return false;
  while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
    const char* key = nullptr;
    const char* contents = nullptr;
    if (sd_bus_message_read(m, "s", &key) < 0 ||
        sd_bus_message_peek_type(m, nullptr, &contents) < 0 ||
        sd_bus_message_enter_container(m, 'v', contents) <= 0) {
      return false;
    }
    if (*contents == 's') {
      const char* text = nullptr;
      if (sd_bus_message_read(m, "s", &text) < 0) return false;
      node.properties[key] = text;
    } else if (*contents == 'b') {
      int flag = 0;
      if (sd_bus_message_read(m, "b", &flag) < 0) return false;
      node.properties[key] = flag ? "true" : "false";
    } else if (sd_bus_message_skip(m, contents) < 0) {
      return false;
    }
    if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_exit_container(m) < 0) {
      return false;
    }
  }
  if (sd_bus_message_exit_container(m) < 0) return false;
  if (sd_bus_message_enter_container(m, 'a', "v") <= 0) return false;
  while (sd_bus_message_enter_container(m, 'v', "(ia{sv}av)") > 0) {
    node.children.emplace_back();
    if (!readNode(m, node.children.back()) || sd_bus_message_exit_container(m) < 0) return false;
  }
  return sd_bus_message_exit_container(m) >= 0 && sd_bus_message_exit_container(m) >= 0;
}

// The item's whole menu as GetLayout gives it, with its revision.
std::pair<unsigned, MenuNode> layout(sd_bus* bus, const std::string& service) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  std::pair<unsigned, MenuNode> result;
  const int r = sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                                   "GetLayout", &error, &reply, "iias", 0, -1, 0);
  const std::string sentence = error.message ? error.message : "";
  sd_bus_error_free(&error);
  EXPECT_GE(r, 0) << "GetLayout failed: " << sentence;
  if (r >= 0) {
    EXPECT_GE(sd_bus_message_read(reply, "u", &result.first), 0);
    EXPECT_TRUE(readNode(reply, result.second)) << "GetLayout's reply isn't a layout";
  }
  sd_bus_message_unref(reply);
  return result;
}

std::string stringProperty(sd_bus* bus, const std::string& service, const char* name) {
  char* value = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int r = sd_bus_get_property_string(bus, service.c_str(), "/StatusNotifierItem",
                                           "org.kde.StatusNotifierItem", name, &error, &value);
  std::string result =
      r >= 0 ? value : "<" + std::string(error.message ? error.message : "?") + ">";
  free(value);
  sd_bus_error_free(&error);
  return result;
}

// The tooltip's title and text.
std::pair<std::string, std::string> toolTip(sd_bus* bus, const std::string& service) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  std::pair<std::string, std::string> result;
  const char* icon = nullptr;
  const char* title = nullptr;
  const char* text = nullptr;
  if (sd_bus_get_property(bus, service.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                          "ToolTip", &error, &reply, "(sa(iiay)ss)") >= 0 &&
      sd_bus_message_enter_container(reply, 'r', "sa(iiay)ss") > 0 &&
      sd_bus_message_read(reply, "s", &icon) >= 0 && sd_bus_message_skip(reply, "a(iiay)") >= 0 &&
      sd_bus_message_read(reply, "ss", &title, &text) >= 0) {
    result = {title, text};
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return result;
}

void click(sd_bus* bus, const std::string& service, int id) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int r = sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                                   "Event", &error, nullptr, "isvu", id, "clicked", "i", 0, 0u);
  EXPECT_GE(r, 0) << "Event failed: " << (error.message ? error.message : "");
  sd_bus_error_free(&error);
}

int idOf(const MenuNode& menu, const std::string& label) {
  for (const auto& child : menu.children) {
    auto found = child.properties.find("label");
    if (found != child.properties.end() && found->second == label) return child.id;
  }
  return -1;
}

std::size_t snapshotCount(const std::filesystem::path& support) {
  std::error_code error;
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(support / "Snapshots", error)) {
    if (entry.path().extension() == ".json") ++count;
  }
  return count;
}

// `brimwell watch` on a fake battery in a directory of its own, ended when the test ends.
class Watch {
 public:
  explicit Watch(const testing::TempDir& dir) : dir_(dir) {
    // Nothing of the user's (settings, browser profiles, tmux server, display) takes part.
    environment_.set("HOME", dir.path().string());
    environment_.set("XDG_CONFIG_HOME", (dir / "config").string());
    environment_.set("TMUX_TMPDIR", dir.path().string());
    environment_.set("DISPLAY", ":9876");  // no such display: nothing on screen is touched
    pid_ = testing::startTool(
        {"watch", "--support", (dir / "support").string(), "--fake-battery", "50,battery,120"},
        (dir / "out").string(), (dir / "err").string());
  }
  ~Watch() { end(SIGKILL); }
  pid_t pid() const { return pid_; }
  // Ends it with `signal` unless it ended already; its exit status.
  int end(int signal = SIGTERM) {
    if (pid_ > 0) {
      ::kill(pid_, signal);
      status_ = testing::waitForTool(pid_);
      pid_ = -1;
    }
    return status_;
  }
  // Waits at most `seconds` for it to end by itself; its exit status, or nothing.
  std::optional<int> waitForExit(double seconds) {
    for (int i = 0; i < int(seconds * 20) && pid_ > 0; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    if (pid_ > 0) return std::nullopt;
    return status_;
  }
  std::string err() const { return testing::readFile((dir_ / "err").string()); }
  std::string out() const { return testing::readFile((dir_ / "out").string()); }

 private:
  const testing::TempDir& dir_;
  testing::ScopedEnvironment environment_;
  pid_t pid_ = -1;
  int status_ = -1;
};

TEST(WatchStatusItem, RegistersWithAWatcherAndTakesASnapshotWhenClicked) {
  testing::PrivateBus bus;
  testing::StatusWatcher watcher(bus);
  testing::TempDir dir;
  Watch watch(dir);
  ASSERT_GT(watch.pid(), 0);
  // No watcher yet: the item waits, and registers once one appears.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  watcher.claim();
  ASSERT_TRUE(watcher.serveUntil([&] { return !watcher.registered.empty(); }))
      << "the item never registered; it said: " << watch.err();
  const std::string service = watcher.registered.front();
  EXPECT_EQ(service, "org.kde.StatusNotifierItem-" + std::to_string(watch.pid()) + "-1");

  sd_bus* host = watcher.bus();
  EXPECT_EQ(stringProperty(host, service, "Category"), "ApplicationStatus");
  EXPECT_EQ(stringProperty(host, service, "Id"), "brimwell");
  EXPECT_EQ(stringProperty(host, service, "Status"), "Active");
  EXPECT_EQ(stringProperty(host, service, "IconName"), "brimwell-phase-watch");
  // The item may register before the first battery reading, which a slow build makes likelier.
  auto [title, text] = toolTip(host, service);
  for (int i = 0; i < 100 && text.starts_with("No battery reading yet."); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::tie(title, text) = toolTip(host, service);
  }
  EXPECT_EQ(title, "Brimwell is watching the battery");
  EXPECT_EQ(text.substr(0, text.find('\n')), "50 % on battery.");
  sd_bus_message* menuReply = nullptr;
  const char* menuPath = nullptr;
  ASSERT_GE(sd_bus_get_property(host, service.c_str(), "/StatusNotifierItem",
                                "org.kde.StatusNotifierItem", "Menu", nullptr, &menuReply, "o"),
            0);
  ASSERT_GE(sd_bus_message_read(menuReply, "o", &menuPath), 0);
  EXPECT_STREQ(menuPath, "/MenuBar");
  sd_bus_message_unref(menuReply);

  const auto [revision, menu] = layout(host, service);
  std::vector<std::string> labels;
  for (const auto& entry : menu.children) {
    labels.push_back(entry.properties.count("type") ? "--" : entry.properties.at("label"));
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Take a snapshot now", "Restore…", "Run a drill",
                                              "Open settings", "--", "Quit"}));
  const std::size_t before = snapshotCount(dir / "support");
  const int take = idOf(menu, "Take a snapshot now");
  ASSERT_GT(take, 0);
  click(host, service, take);
  bool stored = false;
  for (int i = 0; i < 300 && !stored; ++i) {
    stored = snapshotCount(dir / "support") > before;
    if (!stored) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(stored) << "no snapshot within 15 s of the click; it said: " << watch.err();

  // The menu offers the new snapshot, and hosts were told of the new layout.
  ASSERT_TRUE(watcher.serveUntil([&] { return watcher.signals["LayoutUpdated"] > 0; }))
      << "no LayoutUpdated after the snapshot";
  const auto [newRevision, newMenu] = layout(host, service);
  EXPECT_GT(newRevision, revision);
  const auto restore =
      std::find_if(newMenu.children.begin(), newMenu.children.end(), [](const MenuNode& n) {
        return n.properties.count("label") && n.properties.at("label") == "Restore…";
      });
  ASSERT_NE(restore, newMenu.children.end());
  EXPECT_EQ(restore->properties.at("enabled"), "true");
  ASSERT_FALSE(restore->children.empty());
  EXPECT_NE(restore->children[0].properties.at("label").find("taken by hand"), std::string::npos)
      << restore->children[0].properties.at("label");

  // A watcher that goes and comes back (a panel restarted) hears of the item again.
  watcher.release();
  watcher.claim();
  EXPECT_TRUE(watcher.serveUntil([&] { return watcher.registered.size() >= 2; }))
      << "the item did not register again with the new watcher";
  EXPECT_EQ(watch.end(), 0) << watch.err();
}

TEST(WatchStatusItem, QuitEndsTheWatchCleanly) {
  testing::PrivateBus bus;
  testing::StatusWatcher watcher(bus);
  watcher.claim();
  testing::TempDir dir;
  Watch watch(dir);
  ASSERT_TRUE(watcher.serveUntil([&] { return !watcher.registered.empty(); }))
      << "the item never registered; it said: " << watch.err();
  const std::string service = watcher.registered.front();
  const auto [revision, menu] = layout(watcher.bus(), service);
  // A click on no entry is refused; a click on Quit ends the watch.
  sd_bus_error error = SD_BUS_ERROR_NULL;
  EXPECT_LT(sd_bus_call_method(watcher.bus(), service.c_str(), "/MenuBar", "com.canonical.dbusmenu",
                               "Event", &error, nullptr, "isvu", 4242, "clicked", "i", 0, 0u),
            0);
  EXPECT_STREQ(error.message, "There is no menu entry 4242.");
  sd_bus_error_free(&error);
  click(watcher.bus(), service, idOf(menu, "Quit"));
  EXPECT_EQ(watch.waitForExit(10), std::optional<int>(0)) << watch.err();
  const auto journal = JournalStore(BrimwellPaths{dir / "support", dir / "rescued"}).read();
  ASSERT_TRUE(journal.has_value());
  EXPECT_TRUE(journal->cleanExit);
  EXPECT_EQ(journal->exitReason, ExitReason::quit);
}

TEST(WatchStatusItem, WatchRunsWithoutASessionBus) {
  testing::TempDir dir;
  testing::ScopedEnvironment environment;
  environment.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir / "no-bus").string());
  Watch watch(dir);
  bool started = false;
  for (int i = 0; i < 200 && !started; ++i) {
    started = watch.out().find("\"start\"") != std::string::npos;
    if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(started) << watch.err();
  EXPECT_EQ(watch.end(), 0) << watch.err();
}

}  // namespace
}  // namespace brimwell
