// DesktopEntry: what the capturer and the restore need from an application's .desktop file (its
// ID, display name, the command its Exec line starts, its window class), and the rules that tie a
// running program to one. Pure functions over text and values; callable from any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct DesktopEntry {
  std::string id;                 // the desktop-file ID, such as "debian-xterm"
  std::string name;               // the untranslated Name
  std::string program;            // the file name of the program Exec starts, such as "xterm"
  std::string startupWMClass;     // empty when the file names none
  std::vector<std::string> exec;  // the words of the Exec line, field codes still in them
  friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

// The entry of the [Desktop Entry] group of `text` for the file whose ID is `id`, its values with
// the desktop-file string escapes (\s \n \t \r \\) undone, or nothing when the group is
// missing, its Type isn't Application, it is Hidden, or it has no Name or no readable Exec.
std::optional<DesktopEntry> parseDesktopEntry(std::string id, std::string_view text);

// The words of an Exec value (already unescaped as a desktop-file string): split at unquoted
// spaces and tabs; inside double quotes a backslash keeps the next of `"`, `` ` ``, `$` and `\`.
// Fails on an unterminated quote or an empty line.
Result<std::vector<std::string>> execWords(std::string_view exec);

// The desktop-file ID of `file` found under `applicationsDir`: its path below that directory with
// every "/" turned into "-" and without the ".desktop" ending.
std::string desktopFileID(const std::filesystem::path& applicationsDir,
                          const std::filesystem::path& file);

// What is known of a running program to find its entry.
struct ProgramFacts {
  std::string executableName;  // file name of /proc/PID/exe
  std::string appClass;  // its window's class (WM_CLASS or the Wayland app id), empty without one
  std::string appInstance;  // its window's instance (WM_CLASS or the Wayland app id)
};

// The entry that describes the program, trying in turn (each over `entries` in order): a
// StartupWMClass equal to the window class (ignoring case), an Exec program equal to the
// executable's or the window instance's name, a desktop-file ID equal to the window class or
// instance (ignoring case). Nothing when none matches.
const DesktopEntry* matchDesktopEntry(const std::vector<DesktopEntry>& entries,
                                      const ProgramFacts& program);

}  // namespace brimwell
