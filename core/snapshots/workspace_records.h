// The records a snapshot holds about the workspace: applications and their windows, browser
// windows and tabs, Finder and terminal windows, rescued copies and save results. Plain values,
// compared field by field; JSON keys are the field names (see JsonCoding below).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/app_kinds.h"
#include "brimwell/core/snapshots/capture_enums.h"
#include "brimwell/core/snapshots/parsed_url.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

// A frame in screen points.
struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct WindowRecord {
  std::string title;
  std::optional<Rect> frame;
  bool isMinimized = false;
  bool isFullScreen = false;
  std::optional<std::string> documentURL;
  int order = 0;

  // `documentURL` when it is present, parses as a URL and is a file URL; otherwise nothing.
  std::optional<ParsedURL> fileURL() const;

  friend bool operator==(const WindowRecord&, const WindowRecord&) = default;
};

struct AppRecord {
  std::optional<std::string> bundleID;
  std::string path;
  std::string name;
  bool isHidden = false;
  bool wasFrontmost = false;
  int order = 0;
  std::vector<WindowRecord> windows;
  CaptureStatus windowsStatus = CaptureStatus::ok;
  friend bool operator==(const AppRecord&, const AppRecord&) = default;
};

struct TabRecord {
  std::string url;
  std::string title;
  friend bool operator==(const TabRecord&, const TabRecord&) = default;
};

struct BrowserWindowRecord {
  std::optional<Rect> bounds;
  int activeTabIndex = 0;
  std::vector<TabRecord> tabs;
  friend bool operator==(const BrowserWindowRecord&, const BrowserWindowRecord&) = default;
};

struct BrowserRecord {
  BrowserKind browser = BrowserKind::safari;
  CaptureStatus status = CaptureStatus::ok;
  std::vector<BrowserWindowRecord> windows;
  friend bool operator==(const BrowserRecord&, const BrowserRecord&) = default;
};

struct FinderWindowRecord {
  std::string path;
  std::optional<Rect> bounds;
  friend bool operator==(const FinderWindowRecord&, const FinderWindowRecord&) = default;
};

struct TerminalTabRecord {
  std::optional<std::string> directory;
  std::string title;
  friend bool operator==(const TerminalTabRecord&, const TerminalTabRecord&) = default;
};

struct TerminalWindowRecord {
  std::optional<Rect> bounds;
  std::vector<TerminalTabRecord> tabs;
  friend bool operator==(const TerminalWindowRecord&, const TerminalWindowRecord&) = default;
};

struct TerminalRecord {
  TerminalKind app = TerminalKind::terminal;
  CaptureStatus status = CaptureStatus::ok;
  std::vector<TerminalWindowRecord> windows;
  friend bool operator==(const TerminalRecord&, const TerminalRecord&) = default;
};

// A document the save pass saved as a copy in the rescue folder.
struct RescuedDocument {
  std::string appBundleID;
  std::string appName;
  std::string originalTitle;  // the title of the window whose document was rescued
  std::string path;           // absolute path of the rescue copy
  friend bool operator==(const RescuedDocument&, const RescuedDocument&) = default;
};

// What one application's save attempt achieved.
struct SaverResult {
  std::string bundleID;
  std::string appName;
  SaverOutcome outcome = SaverOutcome::saved;
  int saved = 0;
  int rescued = 0;
  std::optional<std::string> detail;
  friend bool operator==(const SaverResult&, const SaverResult&) = default;
};

#define BRIMWELL_DECLARE_JSON_CODING(Type) \
  template <>                              \
  struct JsonCoding<Type> {                \
    static Json write(const Type& value);  \
    static Type read(const Json& json);    \
  }

BRIMWELL_DECLARE_JSON_CODING(Rect);
BRIMWELL_DECLARE_JSON_CODING(WindowRecord);
BRIMWELL_DECLARE_JSON_CODING(AppRecord);
BRIMWELL_DECLARE_JSON_CODING(TabRecord);
BRIMWELL_DECLARE_JSON_CODING(BrowserWindowRecord);
BRIMWELL_DECLARE_JSON_CODING(BrowserRecord);
BRIMWELL_DECLARE_JSON_CODING(FinderWindowRecord);
BRIMWELL_DECLARE_JSON_CODING(TerminalTabRecord);
BRIMWELL_DECLARE_JSON_CODING(TerminalWindowRecord);
BRIMWELL_DECLARE_JSON_CODING(TerminalRecord);
BRIMWELL_DECLARE_JSON_CODING(RescuedDocument);
BRIMWELL_DECLARE_JSON_CODING(SaverResult);

#undef BRIMWELL_DECLARE_JSON_CODING

}  // namespace brimwell
