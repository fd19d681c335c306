// The scripts this program has KWin run through its scripting interface, as JavaScript text: one
// that lists the windows, one that places one window. Each ends by calling back, over D-Bus, the
// object this process serves, with a token and one JSON string. Nothing from a snapshot is pasted
// into the text unescaped: numbers are checked and written as integers, strings as JSON string
// literals (ASCII only, so valid JavaScript). Pure functions; callable from any thread.
#pragma once

#include <optional>
#include <string>

#include "brimwell/core/base/error.h"
#include "linux/capture/desktop_windows.h"

namespace brimwell {

// Where a script sends its answer: Report(token, json) on `interface` at `path` of `busName`.
struct KwinReplyAddress {
  std::string busName;
  std::string path;
  std::string interface;
  std::string method;
  std::string token;
};

// Lists every window as parseKwinReport() reads it.
std::string kwinWindowListScript(const KwinReplyAddress& reply);

// What to do to one window; each part left out is left as it is.
struct KwinPlacement {
  WindowId id;
  std::optional<Rect> frame;
  std::optional<bool> minimized;
  std::optional<bool> fullScreen;
  bool activate = false;  // make it the active window (not when it is to be minimised)
};

// The script's answer when it found the window and did what it was asked, and when it didn't.
inline constexpr const char* kKwinPlaced = "placed";
inline constexpr const char* kKwinMissing = "missing";

// Places the window, answering {"result": "placed"} or {"result": "missing"}; or the sentence
// saying why `placement` can't be written as a script (an empty id or a frame no screen has).
Result<std::string> kwinPlacementScript(const KwinPlacement& placement,
                                        const KwinReplyAddress& reply);

}  // namespace brimwell
