// The save pass as the tests run it: a real keyboard of the display under test (or none), the
// real process table, no editor servers but those a test names, and the desktop files it names.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "linux/save/linux_document_saver.h"
#include "tests/save/fixed_catalog.h"
#include "tests/save/fixed_nvim_servers.h"
#include "tests/support/child_processes.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

// The tools of a test's pass: `keyboard`, the real process table, an Emacs server that isn't
// there, no Neovim or Vim server, and the desktop files `entries`. A test sets what it asks.
inline SaveTools passTools(std::unique_ptr<SaveKeyboard> keyboard,
                           std::vector<DesktopEntry> entries = {}) {
  return SaveTools{.keyboard = std::move(keyboard),
                   .emacs = std::make_unique<EmacsClientServer>("/nonexistent/brimwell-test-emacs"),
                   .neovim = std::make_unique<FixedNvimServers>(),
                   .processes = std::make_unique<ProcProcessTable>(),
                   .desktopFiles = std::make_unique<FixedCatalog>(std::move(entries)),
                   .user = ::getuid()};
}

inline LinuxDocumentSaver keyboardSaver(std::function<std::unique_ptr<SaveKeyboard>()> keyboard,
                                        std::vector<DesktopEntry> entries) {
  return LinuxDocumentSaver([keyboard = std::move(keyboard), entries = std::move(entries)] {
    return passTools(keyboard(), entries);
  });
}

// No display: a pass with it asks only the editors the process list names.
class WindowlessKeyboard final : public SaveKeyboard {
 public:
  Result<std::vector<ClientWindow>> windows() override {
    return fail("There is no X display to ask.");
  }
  std::optional<WindowId> activeWindow() override { return std::nullopt; }
  Status activate(const WindowId&) override { return {}; }
  Status pressControlS() override { return {}; }
};

// The pass's result for the application `bundleID`, or null when it has none.
inline const SaverResult* resultFor(const SavePassOutput& output, const std::string& bundleID) {
  const auto found = std::find_if(output.results.begin(), output.results.end(),
                                  [&](const SaverResult& r) { return r.bundleID == bundleID; });
  return found == output.results.end() ? nullptr : &*found;
}

// `terminal` running an Emacs that edits `file` in the Ctrl+S tests: its buffer already holds the
// change "typed " (so no key but Ctrl+S is pressed), Ctrl+S is bound to saving, and once it
// waits for keys, its terminal set up, it creates `ready`.
inline std::vector<std::string> emacsWithAChange(std::vector<std::string> terminal,
                                                 const std::filesystem::path& file,
                                                 const std::filesystem::path& ready) {
  terminal.insert(terminal.end(),
                  {"emacs", "-nw", "-Q", file.string(), "--eval",
                   "(progn (global-set-key (kbd \"C-s\") 'save-buffer) (insert \"typed \") "
                   "(run-with-idle-timer 0.2 nil 'write-region \"\" nil \"" +
                       ready.string() + "\"))"});
  return terminal;
}

// The save pass's Ctrl+S on a desktop, in an editor that saves on it: `launch` starts, as a client
// of the desktop, a foot with an Emacs whose buffer holds a change; `keyboard` is the desktop's.
inline void expectCtrlSSavesAnEditorsChange(
    const std::function<void(const std::vector<std::string>&)>& launch,
    std::function<std::unique_ptr<SaveKeyboard>()> keyboard) {
  TempDir dir;
  const auto notes = dir / "notes.txt";
  { std::ofstream(notes) << "before\n"; }
  launch(
      emacsWithAChange({"foot", "--app-id=NotesTerm", "-T", "notes"}, notes, dir / "notes.ready"));
  ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(dir / "notes.ready"); }, 15))
      << "foot with emacs (packages foot, emacs-nox) didn't start";
  EXPECT_EQ(readFile(notes), "before\n") << "the editor saved before Ctrl+S";

  auto saver = keyboardSaver(std::move(keyboard), {{.id = "org.example.notes",
                                                    .name = "Notes",
                                                    .program = "n",
                                                    .startupWMClass = "NotesTerm"}});
  const auto output = saver.saveNow(dir / "rescue", {"org.example.notes"}, {});
  const auto* pressed = resultFor(output, "org.example.notes");
  ASSERT_NE(pressed, nullptr);
  EXPECT_EQ(pressed->outcome, SaverOutcome::pressedCommandS) << pressed->detail.value_or("");
  EXPECT_TRUE(waitUntil([&] { return readFile(notes) == "typed before\n"; }, 5))
      << "the editor's file holds: " << readFile(notes);
}

// The two applications of the Ctrl+S tests: the writer is asked, the other isn't.
inline std::vector<DesktopEntry> writerAndOther() {
  return {
      {.id = "org.example.writer",
       .name = "Writer",
       .program = "w",
       .startupWMClass = "WriterTerm"},
      {.id = "org.example.other", .name = "Other", .program = "o", .startupWMClass = "OtherTerm"}};
}

// The pass's results for the writer and the other, in the pass's order: an Emacs or a Neovim of
// this user, a parallel test's say, may run beside them.
inline std::vector<SaverResult> writerAndOtherResults(const SavePassOutput& output) {
  std::vector<SaverResult> ours;
  for (const auto& result : output.results) {
    if (result.bundleID.starts_with("org.example.")) ours.push_back(result);
  }
  return ours;
}

}  // namespace brimwell::testing
