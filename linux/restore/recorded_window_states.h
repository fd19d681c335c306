// RecordedWindowStates: the minimised and full-screen states a snapshot recorded for the windows
// of its applications, looked up by application and frame. Terminal and browser windows are
// reopened from their own records, which carry a frame but no state; the application's window at
// the same frame says what state the reopened one takes. Plain value; one plan's thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

class RecordedWindowStates {
 public:
  struct State {
    bool minimized = false;
    bool fullScreen = false;
    friend bool operator==(const State&, const State&) = default;
  };

  RecordedWindowStates() = default;
  explicit RecordedWindowStates(const std::vector<AppRecord>& apps);

  // The state of a window of the application `bundleID` recorded at `frame`, each recorded window
  // answering once (two windows at one frame answer in their recorded order); nothing when no
  // window of it is left there.
  std::optional<State> take(std::string_view bundleID, const Rect& frame);

 private:
  struct Entry {
    std::string bundleID;
    Rect frame;
    State state;
    bool taken = false;
  };
  std::vector<Entry> entries_;
};

}  // namespace brimwell
