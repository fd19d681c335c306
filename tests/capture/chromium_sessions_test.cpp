#include "linux/capture/chromium_sessions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "linux/capture/chromium_family.h"
#include "linux/capture/chromium_session_source.h"
#include "linux/capture/pickle_reader.h"
#include "linux/capture/snss_log.h"
#include "tests/support/snss_writer.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::SnssWriter;
using testing::TempDir;

using Windows = std::vector<BrowserWindowRecord>;

TabRecord tab(std::string url, std::string title = "") {
  return {.url = std::move(url), .title = std::move(title)};
}

// One normal window (id 1) with tabs 11 and 12 showing a.example and b.example.
SnssWriter twoTabs() {
  SnssWriter log;
  log.windowType(1, 0).tabWindow(1, 11).tabPlace(11, 0).tabWindow(1, 12).tabPlace(12, 1);
  log.entry(11, 0, "https://a.example/").entry(12, 0, "https://b.example/");
  return log;
}

TEST(ChromiumSession, ReplaysWindowsTabsAndSelectionAsTheBrowserDoes) {
  struct Case {
    const char* name;
    SnssWriter log;
    Windows expected;
  };
  const Rect frame{.x = 10, .y = -20, .width = 1000, .height = 700};
  std::vector<Case> cases;
  {
    SnssWriter log;
    log.windowType(1, 0).bounds(1, 10, -20, 1000, 700, 3).selectedTab(1, 1);
    // Places written in another order than the tabs were made; a title with a pair of surrogates.
    log.tabWindow(1, 21).tabPlace(21, 1).tabWindow(1, 22).tabPlace(22, 0);
    log.entry(21, 0, "https://a.example/", u"Caf\u00e9 \U0001F370").entry(22, 0, "about:blank");
    log.windowType(2, 0).tabWindow(2, 31).entry(31, 0, "https://c.example/", u"C");
    cases.push_back({"two windows, tabs by their places",
                     log,
                     {{.bounds = frame,
                       .activeTabIndex = 1,
                       .tabs = {tab("about:blank"), tab("https://a.example/", "Café 🍰")}},
                      {.tabs = {tab("https://c.example/", "C")}}}});
  }
  {
    SnssWriter log = twoTabs();
    for (const int type : {1, 2, 3}) {
      log.windowType(type + 1, type).tabWindow(type + 1, 40 + type);
      log.entry(40 + type, 0, "https://popup.example/");
    }
    cases.push_back({"popup, app and devtools windows are left out",
                     log,
                     {{.tabs = {tab("https://a.example/"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.windowType(2, 0).tabWindow(2, 13).entry(13, 0, "https://c.example/");
    log.tabClosed(11).windowClosed(2);
    cases.push_back(
        {"closed tabs and windows are gone", log, {{.tabs = {tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.windowType(2, 0).tabWindow(2, 11).tabPlace(11, 0);
    cases.push_back(
        {"a tab dragged to another window",
         log,
         {{.tabs = {tab("https://b.example/")}}, {.tabs = {tab("https://a.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.entry(11, 1, "https://a.example/next", u"Old").entry(11, 2, "https://a.example/last");
    log.selectedEntry(11, 1).entry(11, 1, "https://a.example/next", u"Next");
    cases.push_back(
        {"the selected history entry, as last updated",
         log,
         {{.tabs = {tab("https://a.example/next", "Next"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.entry(11, 1, "https://a.example/1").entry(11, 2, "https://a.example/2");
    log.selectedEntry(11, 2).prunedFromBack(11, 1);
    cases.push_back({"history pruned from the back",
                     log,
                     {{.tabs = {tab("https://a.example/"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.entry(11, 1, "https://a.example/1").entry(11, 2, "https://a.example/2");
    log.selectedEntry(11, 1).prunedFromFront(11, 1);
    cases.push_back({"history pruned from the front moves the selection down",
                     log,
                     {{.tabs = {tab("https://a.example/1"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.entry(11, 1, "https://a.example/1").entry(11, 2, "https://a.example/2");
    log.entry(11, 3, "https://a.example/3").selectedEntry(11, 3).pruned(11, 1, 2);
    cases.push_back({"history pruned in the middle",
                     log,
                     {{.tabs = {tab("https://a.example/3"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.tabWindow(1, 13).tabPlace(13, 2).selectedTab(1, 2);
    log.tabWindow(1, 14).tabPlace(14, 3).entry(14, 0, "");
    log.entry(12, 0, "https://b.example/").selectedEntry(12, 7);
    cases.push_back(
        {"a selected tab without an address falls back to the tab before it",
         log,
         {{.activeTabIndex = 1, .tabs = {tab("https://a.example/"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.bounds(1, 5, 5, 0, 300).marker().selectedTab(1, -4);
    cases.push_back({"a window without a size, a marker and a negative selection",
                     log,
                     {{.tabs = {tab("https://a.example/"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log = twoTabs();
    log.fields(0, {1}).fields(14, {1, 2, 3}).fields(8, {}).command(6, "\x40\0\0\0abc");
    log.command(6, SnssWriter::pickle(std::string("\x0b\0\0\0\0\0\0\0\xff\xff\xff\x7f", 12)));
    log.fields(200, {1, 2, 3});
    cases.push_back({"payloads too short for their command and unknown commands are passed over",
                     log,
                     {{.tabs = {tab("https://a.example/"), tab("https://b.example/")}}}});
  }
  {
    SnssWriter log(1);
    log.windowType(1, 0).tabWindow(1, 11).entry(11, 0, "https://old.example/");
    cases.push_back(
        {"the version without markers", log, {{.tabs = {tab("https://old.example/")}}}});
  }
  for (const auto& c : cases) {
    const auto windows = parseChromiumSession(c.log.bytes());
    ASSERT_TRUE(windows) << c.name << ": " << windows.error().message();
    EXPECT_EQ(*windows, c.expected) << c.name;
  }
}

TEST(ChromiumSession, RefusesFilesThatAreNotReadableSessions) {
  const std::string header = "The session file doesn't start with the browser's session header.";
  const std::map<std::string, std::string> cases = {
      {"", header},
      {"SNSS\3\0\0", header},
      {std::string("SNSx\3\0\0\0", 8), header},
      {std::string("SNSS\2\0\0\0", 8), "The session file is encrypted, so Brimwell can't read it."},
      {std::string("SNSS\4\0\0\0", 8), "The session file is encrypted, so Brimwell can't read it."},
      {std::string("SNSS\7\0\0\0", 8),
       "The session file is of version 7, which Brimwell doesn't know."},
  };
  for (const auto& [bytes, message] : cases) {
    const auto windows = parseChromiumSession(bytes);
    ASSERT_FALSE(windows) << bytes.size();
    EXPECT_EQ(windows.error().message(), message);
  }
}

// The browser appends; a file cut at any byte reads as the whole commands before the cut.
TEST(ChromiumSession, AFileCutAnywhereReadsAsTheCommandsBeforeTheCut) {
  SnssWriter log;
  std::vector<std::size_t> ends = {log.bytes().size()};
  const auto then = [&](auto write) {
    write();
    ends.push_back(log.bytes().size());
  };
  then([&] { log.windowType(1, 0); });
  then([&] { log.tabWindow(1, 11); });
  then([&] { log.entry(11, 0, "https://a.example/", u"A"); });
  then([&] { log.bounds(1, 1, 2, 300, 200); });
  then([&] { log.tabWindow(1, 12); });
  then([&] { log.tabPlace(12, 1); });
  then([&] { log.entry(12, 0, "https://b.example/"); });
  then([&] { log.selectedTab(1, 1); });
  then([&] { log.tabClosed(11); });
  const std::string& bytes = log.bytes();
  for (std::size_t cut = 8; cut <= bytes.size(); ++cut) {
    std::size_t whole = 0;
    while (whole + 1 < ends.size() && ends[whole + 1] <= cut) ++whole;
    const auto read = parseChromiumSession(std::string_view(bytes).substr(0, cut));
    const auto expected = parseChromiumSession(std::string_view(bytes).substr(0, ends[whole]));
    ASSERT_TRUE(read && expected) << cut;
    EXPECT_EQ(*read, *expected) << "cut at " << cut;
    const auto split = splitSnssLog(std::string_view(bytes).substr(0, cut));
    EXPECT_EQ(split->cut, cut != ends[whole]) << cut;
  }
}

TEST(PickleReader, ReadsOnlyWhatThePayloadHolds) {
  const auto le = [](std::initializer_list<std::int32_t> values) {
    std::string out;
    for (const auto v : values) {
      for (int i = 0; i < 4; ++i) out += char((std::uint32_t(v) >> (8 * i)) & 0xff);
    }
    return out;
  };
  EXPECT_FALSE(PickleReader::of(""));
  EXPECT_FALSE(PickleReader::of(le({8}) + "1234")) << "a payload shorter than declared";
  {
    const std::string bytes = le({8, 3}) + "abcd" + "trailing bytes past the payload";
    auto pickle = PickleReader::of(bytes);
    ASSERT_TRUE(pickle);
    EXPECT_EQ(pickle->readString(), "abc");
    EXPECT_FALSE(pickle->readInt32()) << "nothing past the declared payload is read";
  }
  const std::vector<std::pair<const char*, std::string>> hostile = {
      {"negative length", le({4, -1})},
      {"length past the payload", le({8, 5, 0})},
      {"huge length", le({4, 0x7fffffff})},
  };
  for (const auto& [name, bytes] : hostile) {
    auto asString = PickleReader::of(bytes);
    auto asString16 = PickleReader::of(bytes);
    ASSERT_TRUE(asString && asString16) << name;
    EXPECT_FALSE(asString->readString()) << name;
    EXPECT_FALSE(asString16->readString16()) << name;
  }
  // An unpaired surrogate on each side of a pair, and a character beyond U+FFFF.
  const std::string units =
      le({16, 5}) + std::string("\x00\xd8\x3c\xd8\x70\xdf\x70\xdf", 8) + std::string("A\0\0\0", 4);
  auto text = PickleReader::of(units);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->readString16(), "\uFFFD\U0001F370\uFFFDA");
}

TEST(ChromiumFamily, KnowsItsExecutablesFoldersAndProfiles) {
  const std::map<std::string, std::optional<BrowserKind>> executables = {
      {"/usr/lib/chromium/chromium", BrowserKind::chromium},
      {"/usr/lib/chromium-browser/chromium-browser", BrowserKind::chromium},
      {"/snap/chromium/2000/usr/lib/chromium-browser/chrome", BrowserKind::chromium},
      {"/opt/google/chrome/chrome", BrowserKind::chrome},
      {"/opt/brave.com/brave/brave", BrowserKind::brave},
      {"/opt/microsoft/msedge/msedge", BrowserKind::edge},
      {"/opt/vivaldi/vivaldi-bin", BrowserKind::vivaldi},
      {"/usr/lib/firefox-esr/firefox-esr", std::nullopt},
      {"/usr/bin/chromedriver", std::nullopt},
  };
  for (const auto& [path, kind] : executables) {
    EXPECT_EQ(chromiumKindOfExecutable(path), kind) << path;
  }
  for (const auto kind : kChromiumFamily) EXPECT_FALSE(userDataFolder(kind).empty());
  EXPECT_EQ(userDataFolder(BrowserKind::brave), "BraveSoftware/Brave-Browser");

  const std::map<std::string, std::vector<std::string>> localStates = {
      {R"({"profile":{"info_cache":{"Profile 3":{"name":"Work"},"Default":{}}}})",
       {"Profile 3", "Default"}},
      {R"({"profile":{"info_cache":{"..":{},"a/b":{},"":{},"Profile 1":{}}}})", {"Profile 1"}},
      {R"({"profile":{"info_cache":[]}})", {}},
      {R"({"profile":{}})", {}},
      {"not json", {}},
  };
  for (const auto& [text, profiles] : localStates) {
    EXPECT_EQ(parseLocalStateProfiles(text), profiles) << text;
  }
}

TEST(ChromiumSession, FindsTheSessionFileWrittenLast) {
  TempDir profile;
  EXPECT_EQ(newestSessionFile(profile.path()), std::nullopt);
  testing::writeFile(profile / "Current Session", "SNSS");
  EXPECT_EQ(newestSessionFile(profile.path()), profile / "Current Session");
  std::filesystem::create_directories(profile / "Sessions");
  for (const char* name : {"Session_9", "Session_13300000000000000", "Session_1330000000000001",
                           "Session_99999999999999999x", "Tabs_99999999999999999999"}) {
    testing::writeFile(profile / "Sessions" / name, "SNSS");
  }
  EXPECT_EQ(newestSessionFile(profile.path()), profile / "Sessions/Session_13300000000000000");
}

class FakeBrowserProcesses final : public ProcessTable {
 public:
  struct Process {
    int parent;
    uid_t owner;
    std::string executable;
    std::vector<std::string> open;
  };
  explicit FakeBrowserProcesses(std::map<int, Process> table) : table_(std::move(table)) {}
  std::vector<ProcessEntry> processes() override {
    std::vector<ProcessEntry> entries;
    for (const auto& [pid, p] : table_) {
      entries.push_back({.pid = pid, .parent = p.parent, .owner = p.owner, .command = "x"});
    }
    return entries;
  }
  std::optional<std::string> executable(int pid) override { return table_.at(pid).executable; }
  std::optional<std::string> environmentValue(int, std::string_view) override { return {}; }
  std::optional<std::string> workingDirectory(int) override { return {}; }
  std::vector<std::string> openFiles(int pid) override { return table_.at(pid).open; }

 private:
  std::map<int, Process> table_;
};

TEST(ChromiumSessionSource, ReportsEachBrowserByWhatItsFilesAndProcessesSay) {
  constexpr uid_t kUser = 4242;
  const Windows windows = {{.tabs = {tab("https://a.example/"), tab("https://b.example/")}}};
  const BrowserRecord ok{.browser = BrowserKind::chromium, .windows = windows};
  const BrowserRecord failed{.browser = BrowserKind::chromium, .status = CaptureStatus::failed};
  // fifo: nothing held, and FIFOs, which a plain open would wait on for good, under the names of
  // Local State and of the default profile's session file.
  enum class Held { none, elsewhere, damaged, fifo };
  struct Case {
    const char* name;
    bool setUp;           // ~/.config/chromium exists, with a Local State naming "Work"
    bool profileSession;  // and Work/Sessions holds a good session
    bool running;         // a browser process of the user's
    Held held;            // the session file the process holds open
    std::vector<BrowserRecord> expected;
  };
  const std::vector<Case> cases = {
      {"not set up, not running", false, false, false, Held::none, {}},
      {"set up, not running",
       true,
       true,
       false,
       Held::none,
       {{.browser = BrowserKind::chromium, .status = CaptureStatus::notRunning}}},
      {"running from another user-data folder", false, false, true, Held::elsewhere, {ok}},
      {"running, the held file damaged", true, true, true, Held::damaged, {failed}},
      {"running, nothing held: the profiles' newest files", true, true, true, Held::none, {ok}},
      {"running, no session file anywhere", true, false, true, Held::none, {failed}},
      {"running, FIFOs for Local State and a session", false, false, true, Held::fifo, {failed}},
  };
  for (const auto& c : cases) {
    TempDir config;
    TempDir elsewhere;
    const auto good = twoTabs().bytes();
    const auto userData = config / "chromium";
    if (c.setUp) {
      std::filesystem::create_directories(userData / "Work/Sessions");
      testing::writeFile(userData / "Local State", R"({"profile":{"info_cache":{"Work":{}}}})");
    }
    if (c.profileSession) testing::writeFile(userData / "Work/Sessions/Session_5", good);
    if (c.held == Held::fifo) {
      std::filesystem::create_directories(userData / "Default/Sessions");
      ASSERT_EQ(::mkfifo((userData / "Local State").c_str(), 0600), 0);
      ASSERT_EQ(::mkfifo((userData / "Default/Sessions/Session_9").c_str(), 0600), 0);
    }
    std::filesystem::create_directories(elsewhere / "Default/Sessions");
    const auto held = elsewhere / "Default/Sessions/Session_7";
    testing::writeFile(held, c.held == Held::damaged ? "SNSS\2\0\0\0" : good);
    std::map<int, FakeBrowserProcesses::Process> table = {
        {10, {1, kUser, "/usr/bin/bash", {}}},
        {20, {1, kUser + 1, "/usr/lib/chromium/chromium", {held.string()}}},
    };
    if (c.running) {
      std::vector<std::string> open = {(elsewhere / "Default/Cookies").string()};
      if (c.held == Held::elsewhere || c.held == Held::damaged) open.push_back(held.string());
      table[30] = {10, kUser, "/usr/lib/chromium/chromium", open};
      // Its zygote and a renderer: the same executable, not browsers of their own.
      table[31] = {30, kUser, "/usr/lib/chromium/chromium", {}};
      table[32] = {31, kUser, "/usr/lib/chromium/chromium", {held.string()}};
    }
    ChromiumSessionSource source(config.path(), std::make_unique<FakeBrowserProcesses>(table),
                                 kUser);
    EXPECT_EQ(source.browsers(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace brimwell
