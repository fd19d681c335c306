// The folder windows' pure rules: which file manager locations name a local folder, which window
// frame belongs to which Nautilus folder window, and which file manager titles name a folder.
// Then the bus reader against a bus with no file manager and a bus that never answers.
#include "linux/capture/folder_locations.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "linux/capture/file_manager_source.h"
#include "linux/capture/folder_titles.h"
#include "linux/capture/folder_windows.h"
#include "linux/capture/nautilus_windows.h"
#include "tests/support/private_bus.h"

namespace brimwell {
namespace {

TEST(FolderLocations, OnlyLocalFileURLsNameAFolderWithTheirEscapesDecoded) {
  const struct {
    const char* location;
    std::optional<std::string> folder;
  } cases[] = {
      {"file:///home/ann/My%20Work", "/home/ann/My Work"},
      {"file:///home/ann/caf%C3%A9/", "/home/ann/caf\xC3\xA9"},
      {"file:///", "/"},
      {"file://localhost/srv/x", "/srv/x"},
      {"FILE:///srv/x", "/srv/x"},
      {"file://otherhost/srv/x", std::nullopt},  // another machine's folder
      {"trash:///", std::nullopt},
      {"recent:///", std::nullopt},
      {"smb://server/share", std::nullopt},
      {"/home/ann", std::nullopt},           // a path, not a URL
      {"file:///a%2", std::nullopt},         // a broken escape
      {"file:///a%00b", std::nullopt},       // a NUL names no file
      {"file:relative/path", std::nullopt},  // not absolute
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(folderOfLocation(c.location), c.folder) << c.location;
}

TEST(FolderLocations, AFolderGoesOutAsALocationThatNamesItAgain) {
  for (const std::string path :
       {"/home/ann/My Work", "/tmp/100% sure?#", "/caf\xC3\xA9/x+y", "/", "/a;b=c&d"}) {
    const auto location = locationOfFolder(path);
    EXPECT_EQ(location.rfind("file:///", 0), 0u) << location;
    EXPECT_EQ(folderOfLocation(location), path) << location;
  }
  EXPECT_EQ(locationOfFolder("/My Work"), "file:///My%20Work");
}

TEST(NautilusFolderWindows, FramesGoToTheOneWindowTitledAsTheFolder) {
  const Rect a{1, 2, 300, 200}, b{50, 60, 400, 300}, c{7, 7, 100, 100};
  const std::string home = "/home/ann";
  const auto window = [](std::string title, Rect frame) {
    return DesktopWindow{.pid = 7, .title = std::move(title), .frame = frame};
  };
  const struct {
    const char* what;
    std::vector<FileManagerWindow> listed;
    std::vector<DesktopWindow> windows;
    std::vector<FinderWindowRecord> expected;
  } cases[] = {
      {"each folder its window",
       {{"/w/1", {"file:///home/ann/Work"}}, {"/w/2", {"file:///srv/data"}}},
       {window("data", b), window("Work", a)},
       {{"/home/ann/Work", a}, {"/srv/data", b}}},
      {"the home is titled Home, the root /",
       {{"/w/1", {"file:///home/ann"}}, {"/w/2", {"file:///"}}},
       {window("Home", a), window("/", b), window("ann", c)},
       {{"/home/ann", a}, {"/", b}}},
      {"the shown tab is the first; other places are left out",
       {{"/w/1", {"file:///srv/data", "file:///home/ann/Work"}},
        {"/w/2", {"trash:///", "file:///home/ann"}},
        {"/w/3", {}}},
       {window("data", a)},
       {{"/srv/data", a}}},
      {"two folders of one name are told apart by nothing",
       {{"/w/1", {"file:///a/notes"}}, {"/w/2", {"file:///b/notes"}}},
       {window("notes", a), window("notes", b)},
       {{"/a/notes", std::nullopt}, {"/b/notes", std::nullopt}}},
      {"two windows of the title, or none, give no frame",
       {{"/w/1", {"file:///a/notes"}}, {"/w/2", {"file:///a/plans"}}},
       {window("notes", a), window("notes", b), window("Loading\u2026", c)},
       {{"/a/notes", std::nullopt}, {"/a/plans", std::nullopt}}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(nautilusFolderWindows(k.listed, k.windows, home), k.expected) << k.what;
  }
}

TEST(FolderTitles, OnlyATitleThatIsAnExistingFolderPathNamesOne) {
  const std::set<std::string> directories = {"/home/ann", "/home/ann/My - Stuff", "/"};
  const IsDirectory isDirectory = [&](const std::string& p) { return directories.contains(p); };
  const struct {
    const char* title;
    std::optional<std::string> folder;
  } cases[] = {
      {"/home/ann", "/home/ann"},
      {"/home/ann/", "/home/ann"},
      {"/home/ann - Thunar", "/home/ann"},
      {"/home/ann \u2014 Dolphin", "/home/ann"},
      {"/home/ann/My - Stuff - File Manager", "/home/ann/My - Stuff"},
      {"/home/ann/My - Stuff", "/home/ann/My - Stuff"},
      {"/", "/"},
      {"ann - Thunar", std::nullopt},  // a folder's name alone
      {"Home", std::nullopt},
      {"/gone/folder - Thunar", std::nullopt},
      {"file:///home/ann", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(folderInTitle(c.title, isDirectory), c.folder) << c.title;

  const Rect frame{3, 4, 500, 400};
  const Desktop desktop{{{.appClass = "XTerm", .title = "/home/ann", .frame = frame},
                         {.appClass = "Thunar", .title = "/home/ann - Thunar", .frame = frame},
                         {.appClass = "Thunar", .title = "ann - Thunar"},
                         {.appClass = "org.kde.dolphin", .title = "/ \u2014 Dolphin"}}};
  EXPECT_EQ(titledFolderWindows(desktop, isDirectory),
            (std::vector<FinderWindowRecord>{{"/home/ann", frame}, {"/", std::nullopt}}));
}

TEST(FolderWindows, ATitleNamesAFolderByItsNameOrItsPath) {
  const struct {
    const char* title;
    const char* folder;
    bool names;
  } cases[] = {
      {"My Work", "/home/ann/My Work", true},
      {"My Work", "/home/ann/My Work/", true},
      {"My Work - Thunar", "/home/ann/My Work", true},
      {"My Work \u2014 Dolphin", "/home/ann/My Work", true},
      {"/home/ann/My Work - Thunar", "/home/ann/My Work", true},
      {"/", "/", true},
      {"My Workshop", "/home/ann/My Work", false},
      {"Work", "/home/ann/My Work", false},
      {"Files", "/home/ann/My Work", false},
      {"My Work", "My Work", false},
      {"", "/home/ann", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(titleNamesFolder(c.title, c.folder), c.names) << c.title << " / " << c.folder;
  }
}

TEST(FolderWindows, TheBusFileManagersWindowsThenOtherFileManagersTitledOnes) {
  const Rect a{1, 2, 300, 200}, b{50, 60, 400, 300}, c{9, 9, 90, 90};
  const IsDirectory isDirectory = [](const std::string& p) { return p == "/srv/data"; };
  const std::vector<DesktopWindow> windows = {
      {.pid = 9, .appClass = "Thunar", .title = "/srv/data - Thunar", .frame = c},
      {.pid = 8, .appClass = "org.gnome.Nautilus", .title = "Work", .frame = b},  // another one's
      {.pid = 7, .appClass = "org.gnome.Nautilus", .title = "Work", .frame = a}};
  const OpenFolderWindows listed{7, {{"/w/1", {"file:///home/ann/Work"}}}};
  const struct {
    const char* what;
    Result<OpenFolderWindows> listed;
    std::vector<FinderWindowRecord> expected;
  } cases[] = {
      {"listed with its process", listed, {{"/home/ann/Work", a}, {"/srv/data", c}}},
      {"listed without a process",
       OpenFolderWindows{std::nullopt, listed.windows},
       {{"/home/ann/Work", std::nullopt}, {"/srv/data", c}}},
      {"no file manager on the bus",
       fail("No file manager runs on the session bus."),
       {{"/srv/data", c}}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(folderWindows(k.listed, windows, "/home/ann", isDirectory), k.expected) << k.what;
  }
}

TEST(BusFileManagerSource, NoFileManagerAndASilentBusEachFailInOneSentence) {
  testing::PrivateBus bus;
  const auto none = BusFileManagerSource(std::chrono::seconds(2)).openWindows();
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().message(), "No file manager runs on the session bus.");

  bus.freeze();
  const auto started = std::chrono::steady_clock::now();
  const auto silent = BusFileManagerSource(std::chrono::milliseconds(300)).openWindows();
  const auto waited = std::chrono::steady_clock::now() - started;
  bus.thaw();
  ASSERT_FALSE(silent);
  EXPECT_EQ(silent.error().message(),
            "The file manager's open windows can't be read (the session bus didn't answer within "
            "300 milliseconds).");
  EXPECT_LT(waited, std::chrono::seconds(2));
}

}  // namespace
}  // namespace brimwell
