// The save pass as the keyboard tests run it: a real keyboard of the display under test, the
// real process table, no Emacs or Neovim, and the desktop files the test names.
#pragma once

#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

#include "linux/save/linux_document_saver.h"
#include "tests/save/fixed_catalog.h"
#include "tests/save/fixed_nvim_servers.h"

namespace brimwell::testing {

inline LinuxDocumentSaver keyboardSaver(std::function<std::unique_ptr<SaveKeyboard>()> keyboard,
                                        std::vector<DesktopEntry> entries) {
  return LinuxDocumentSaver([keyboard = std::move(keyboard), entries = std::move(entries)] {
    return SaveTools{
        .keyboard = keyboard(),
        .emacs = std::make_unique<EmacsClientServer>("/nonexistent/brimwell-test-emacs"),
        .neovim = std::make_unique<FixedNvimServers>(),
        .processes = std::make_unique<ProcProcessTable>(),
        .desktopFiles = std::make_unique<FixedCatalog>(entries),
        .user = ::getuid()};
  });
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
