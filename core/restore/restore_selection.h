// RestoreSelection: what the user chose to bring back from one snapshot. Each of the five sets,
// when absent, means every item of its kind; a present set means exactly its members (an empty
// set means none). Browser and terminal windows are named by keys such as "safari#1" that refer
// to one snapshot's window lists. Plain value; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "brimwell/core/snapshots/app_kinds.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct RestoreSelection {
  using Keys = std::optional<std::set<std::string>>;

  Keys appPaths;         // application bundle paths to launch and whose windows to place
  Keys documentPaths;    // window documents' file paths and rescued copies' paths to reopen
  Keys browserWindows;   // browserKey texts
  Keys finderPaths;      // Finder window folders
  Keys terminalWindows;  // terminalKey texts
  // True: restore the clipboard; false: don't; absent: restore it when the current one is empty.
  std::optional<bool> clipboard;
  // The clipboard choice was left as the screen proposed it rather than set by the user.
  bool clipboardWasDefault = false;
  // The clipboard's change counter as the caller saw it when it offered the choice.
  std::optional<std::int64_t> clipboardChangeCount;

  // "<raw value>#<index>", the index being the window's position in its record's window list.
  static std::string browserKey(BrowserKind browser, int index);
  static std::string terminalKey(TerminalKind terminal, int index);

  // Every item of every kind, the clipboard when the current one is empty, not a default choice.
  static const RestoreSelection& everything();

  friend bool operator==(const RestoreSelection&, const RestoreSelection&) = default;
};

// An object keyed by the field names; absent sets and optionals are left out, sets are arrays.
template <>
struct JsonCoding<RestoreSelection> {
  static Json write(const RestoreSelection& value);
  static RestoreSelection read(const Json& json);
};

}  // namespace brimwell
