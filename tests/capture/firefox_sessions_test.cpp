#include "linux/capture/firefox_sessions.h"

#include <gtest/gtest.h>
#include <lz4.h>
#include <sys/stat.h>

#include <map>

#include "linux/capture/browser_sessions.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::TempDir;

// A .jsonlz4 file's bytes: the header with `declared` (default: the true size) and one block.
std::string mozLz4(const std::string& json, std::optional<std::uint32_t> declared = {}) {
  std::string block(static_cast<std::size_t>(LZ4_compressBound(int(json.size()))), '\0');
  block.resize(static_cast<std::size_t>(
      LZ4_compress_default(json.data(), block.data(), int(json.size()), int(block.size()))));
  const std::uint32_t size = declared.value_or(std::uint32_t(json.size()));
  std::string bytes("mozLz40\0", 8);
  for (int i = 0; i < 4; ++i) bytes += char((size >> (8 * i)) & 0xff);
  return bytes + block;
}

const std::string kSession = R"({"version":["sessionrestore",1],"selectedWindow":1,"windows":[
  {"screenX":10,"screenY":20,"width":1200,"height":800,"selected":2,"tabs":[
    {"entries":[{"url":"https://example.org/a","title":"A"}],"index":1},
    {"entries":[{"url":"https://example.org/old","title":"Old"},
                {"url":"https://example.org/b","title":"B"},
                {"url":"https://example.org/next","title":"Next"}],"index":2}]},
  {"screenX":-5.5,"screenY":0,"width":640,"height":480,"selected":3,"tabs":[
    {"entries":[{"url":"about:blank"}]},
    {"entries":[]},
    {"entries":[{"url":"https://example.org/c","title":"C"}],"index":9}]}]})";

const std::vector<BrowserWindowRecord> kWindows = {
    {.bounds = Rect{.x = 10, .y = 20, .width = 1200, .height = 800},
     .activeTabIndex = 1,
     .tabs = {{.url = "https://example.org/a", .title = "A"},
              {.url = "https://example.org/b", .title = "B"}}},
    // The tab without entries is left out; the selected third tab is the second kept, and an
    // index past the history is its last entry.
    {.bounds = Rect{.x = -5.5, .y = 0, .width = 640, .height = 480},
     .activeTabIndex = 1,
     .tabs = {{.url = "about:blank", .title = ""},
              {.url = "https://example.org/c", .title = "C"}}}};

TEST(MozLz4, DecodesOnlyWholeConsistentFiles) {
  const std::string json = R"({"windows":[]})";
  EXPECT_EQ(decodeMozLz4(mozLz4(json)).value(), json);
  const auto good = mozLz4(json);
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t max;
  };
  const Case cases[] = {
      {"empty", "", 1000},
      {"header only, short", good.substr(0, 11), 1000},
      {"foreign magic", "mozLz41" + good.substr(7), 1000},
      {"declares more than the block holds", mozLz4(json, 100), 1000},
      {"declares less than the block holds", mozLz4(json, 3), 1000},
      {"declares more than allowed", good, json.size() - 1},
      {"declares 4 GiB", mozLz4(json, 0xffffffff), std::size_t(1) << 33},
      {"truncated block", good.substr(0, good.size() - 2), 1000},
      {"garbage block", good.substr(0, 12) + std::string(40, '\xff'), 1000},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(decodeMozLz4(c.bytes, c.max).has_value()) << c.name;
  }
}

TEST(FirefoxSession, ReadsWindowsTabsSelectionAndBounds) {
  EXPECT_EQ(parseFirefoxSession(kSession).value(), kWindows);
  // Without bounds and selection: no bounds, the first tab.
  EXPECT_EQ(parseFirefoxSession(R"({"windows":[{"width":5,"tabs":[
                {"entries":[{"url":"u1"},{"url":"u2","title":"T"}]}]}]})")
                .value(),
            (std::vector<BrowserWindowRecord>{{.tabs = {{.url = "u2", .title = "T"}}}}));
}

TEST(FirefoxSession, RefusesDocumentsThatAreNotSessions) {
  const std::string cases[] = {
      "",
      "not json",
      R"({"windows":[)",
      R"([1,2])",
      R"({"tabs":[]})",
      R"({"windows":{}})",
      R"({"windows":[7]})",
      R"({"windows":[{"tabs":"x"}]})",
      R"({"windows":[)" + std::string(100000, '[') + std::string(100000, ']') + "]}",
  };
  for (const auto& text : cases) {
    EXPECT_FALSE(parseFirefoxSession(text).has_value()) << text.substr(0, 40);
  }
}

TEST(ProfilesIni, ListsEveryProfileOnce) {
  const auto profiles = parseProfilesIni(
      "[General]\nStartWithLastProfile=1\n\n[Profile1]\nName=work\nIsRelative=0\n"
      "Path=/srv/ff/work\n\n[Install4F96D1932A9F858E]\nDefault=abc.default\n\r\n"
      "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=abc.default\r\nDefault=1\r\n"
      "[Profile2]\nIsRelative=1\nPath=abc.default\n[Profile3]\nName=no path\n",
      "/home/u/.mozilla/firefox");
  EXPECT_EQ(profiles, (std::vector<std::filesystem::path>{"/srv/ff/work",
                                                          "/home/u/.mozilla/firefox/abc.default"}));
}

class FakeProcesses final : public ProcessTable {
 public:
  explicit FakeProcesses(std::map<int, std::pair<uid_t, std::string>> table)
      : table_(std::move(table)) {}
  std::vector<ProcessEntry> processes() override {
    std::vector<ProcessEntry> entries;
    for (const auto& [pid, process] : table_) {
      entries.push_back({.pid = pid, .parent = 1, .owner = process.first, .command = "x"});
    }
    return entries;
  }
  std::optional<std::string> executable(int pid) override { return table_.at(pid).second; }
  std::optional<std::string> environmentValue(int, std::string_view) override { return {}; }
  std::optional<std::string> workingDirectory(int) override { return {}; }
  std::vector<std::string> openFiles(int) override { return {}; }

 private:
  std::map<int, std::pair<uid_t, std::string>> table_;
};

TEST(FirefoxSessionSource, ReportsFirefoxByWhatItsFilesAndProcessesSay) {
  constexpr uid_t kUser = 4242;
  const std::map<int, std::pair<uid_t, std::string>> running = {
      {10, {kUser, "/usr/bin/bash"}}, {11, {kUser, "/usr/lib/firefox-esr/firefox-esr"}}};
  const std::map<int, std::pair<uid_t, std::string>> othersOnly = {
      {11, {kUser + 1, "/usr/lib/firefox/firefox"}}, {12, {kUser, "/usr/bin/firefox-bin"}}};
  const BrowserRecord notRunning{.browser = BrowserKind::firefox,
                                 .status = CaptureStatus::notRunning};
  const BrowserRecord failed{.browser = BrowserKind::firefox, .status = CaptureStatus::failed};
  // A FIFO under the session file's name, which a plain open would wait on for good.
  enum class Session { none, good, damaged, fifo };
  struct Case {
    const char* name;
    bool installed;
    Session session;
    std::map<int, std::pair<uid_t, std::string>> processes;
    std::vector<BrowserRecord> expected;
  };
  const std::vector<Case> cases = {
      {"running",
       true,
       Session::good,
       running,
       {{.browser = BrowserKind::firefox, .windows = kWindows}}},
      {"not installed", false, Session::good, running, {}},
      {"only other users' or other programs", true, Session::good, othersOnly, {notRunning}},
      {"running, damaged session", true, Session::damaged, running, {failed}},
      {"running, no session file", true, Session::none, running, {failed}},
      {"running, a FIFO under the session file's name", true, Session::fifo, running, {failed}},
  };
  for (const auto& c : cases) {
    TempDir home;
    const auto firefox = home / ".mozilla/firefox";
    std::filesystem::create_directories(firefox / "abc.default/sessionstore-backups");
    std::filesystem::create_directories(home / "elsewhere/sessionstore-backups");
    if (c.installed) {
      testing::writeFile(firefox / "profiles.ini",
                         "[Profile0]\nIsRelative=1\nPath=abc.default\n[Profile1]\nIsRelative=0\n"
                         "Path=" +
                             (home / "elsewhere").string() + "\n");
    }
    if (c.session == Session::fifo) {
      ASSERT_EQ(::mkfifo(recoverySessionFile(home / "elsewhere").c_str(), 0600), 0);
    } else if (c.session != Session::none) {
      const auto bytes = mozLz4(kSession);
      testing::writeFile(recoverySessionFile(home / "elsewhere"),
                         c.session == Session::good ? bytes : bytes.substr(0, bytes.size() / 2));
    }
    FirefoxSessionSource source(home.path(), std::make_unique<FakeProcesses>(c.processes), kUser);
    EXPECT_EQ(source.browsers(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace brimwell
