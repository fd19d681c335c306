// Desktop files and their Exec lines: an entry read is a complete one, its words are the Exec
// line's, and the command lines built from them are never empty.
#include "fuzz/fuzz_check.h"
#include "linux/capture/desktop_entry.h"
#include "linux/restore/exec_line.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  if (const auto entry = parseDesktopEntry("fuzzed", text)) {
    fuzz::check(!entry->name.empty() && !entry->exec.empty(), "an entry has a name and a command");
    fuzz::check(!entry->program.empty(), "an entry names its program");
    for (const auto& lines : {execCommands(entry->exec, {}), execCommands(entry->exec, {"/a"})}) {
      for (const auto& line : lines) fuzz::check(!line.empty(), "a command line has a program");
    }
  }
  if (const auto words = execWords(text)) {
    fuzz::check(!words->empty(), "an Exec line has at least one word");
    const auto withFiles = execCommands(*words, {"/a", "/b"});
    fuzz::check(!withFiles.empty(), "files give at least one command line");
  }
  return 0;
}
