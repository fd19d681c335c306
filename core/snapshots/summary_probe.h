// SummaryProbe: reads only what a summary needs from a snapshot file (meta date and trigger,
// documentURLs, tab counts, rescued paths) and builds nothing else; its summary equals the full
// snapshot's for every file both can read. Values only; callable from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/capture_enums.h"
#include "brimwell/core/snapshots/snapshot_summary.h"

namespace brimwell {

struct SummaryProbe {
  struct Meta {
    Date createdAt;
    CaptureTrigger trigger = CaptureTrigger::manual;
  };
  struct Window {
    std::optional<std::string> documentURL;
  };
  struct App {
    std::vector<Window> windows;
  };
  struct BrowserWindow {
    std::size_t tabCount = 0;  // the tabs themselves are only counted, whatever their JSON type
  };
  struct Browser {
    std::vector<BrowserWindow> windows;
  };
  struct Rescued {
    std::string path;
  };

  Meta meta;
  std::vector<App> apps;
  std::vector<Browser> browsers;
  std::vector<Rescued> rescued;

  // Spare bytes the parser may read past the end of the text.
  static constexpr std::size_t padding = 64;

  // Reads the kept keys strictly (required ones present with the right type, a known trigger, a
  // date in the stored form, documentURL a string, null or missing); any failure fails the probe
  // with one sentence, and so does text anywhere in the document that isn't JSON, though nothing
  // else of it is read. The file's `schema` and `id` are not looked at. When `allocated` (the
  // bytes readable from text.data()) leaves `padding` spare bytes, the text is read in place;
  // otherwise it is copied first. With `shortened`, a string holding only
  // LongStringSkipper::marker is taken for valid JSON (one the skipper checked and left out).
  static Result<SummaryProbe> decode(std::string_view text, std::size_t allocated = 0,
                                     bool shortened = false);

  // The summary the full snapshot in the same file would give, carrying `id`.
  SnapshotSummary summary(const std::string& id) const;
};

}  // namespace brimwell
