// Sample snapshots for the snapshot tests, written here rather than read from any file.
#pragma once

#include <chrono>
#include <string>

#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/snapshots/snapshot_id.h"

namespace brimwell::testing {

// 2026-03-01T14:05:09.250Z.
inline Date sampleInstant() { return Date(std::chrono::milliseconds(1'772'373'909'250)); }

inline Snapshot emptySnapshot(Date createdAt = sampleInstant()) {
  SnapshotMeta meta;
  meta.createdAt = createdAt;
  meta.trigger = CaptureTrigger::watch;
  meta.bootSessionUUID = "B00T";
  meta.hostModel = "Laptop1,1";
  meta.durationMs = 12;
  return Snapshot(SnapshotID::make(createdAt), meta, {}, {}, {}, {}, std::nullopt, {}, {});
}

// Two applications whose windows show one file twice and a web page, one browser with windows
// of 3 and 2 tabs, one rescued copy elsewhere, a clipboard and a save pass.
inline Snapshot richSnapshot(Date createdAt = sampleInstant()) {
  Snapshot snapshot = emptySnapshot(createdAt);
  snapshot.meta.batteryPercent = 7;
  snapshot.meta.powerSource = PowerSource::battery;
  WindowRecord report{
      "Report", Rect{1, 2, 300, 400}, false, false, "file:///Users/ann/Report.pages", 0};
  WindowRecord web{"Docs", std::nullopt, true, false, "https://example.org/a/b", 1};
  snapshot.apps = {AppRecord{"com.example.Pages",
                             "/Applications/Pages.app",
                             "Pages",
                             false,
                             true,
                             0,
                             {report, web},
                             CaptureStatus::ok},
                   AppRecord{std::nullopt,
                             "/Applications/Other.app",
                             "Other",
                             true,
                             false,
                             1,
                             {report},
                             CaptureStatus::needsPermission}};
  const TabRecord tab{"https://example.org/", "Example"};
  snapshot.browsers = {BrowserRecord{BrowserKind::brave,
                                     CaptureStatus::ok,
                                     {BrowserWindowRecord{Rect{0, 0, 10, 10}, 1, {tab, tab, tab}},
                                      BrowserWindowRecord{std::nullopt, 0, {tab, tab}}}}};
  snapshot.finder = {FinderWindowRecord{"/Users/ann/Desktop", Rect{5, 5, 50, 50}}};
  snapshot.terminals = {TerminalRecord{
      TerminalKind::iterm2,
      CaptureStatus::ok,
      {TerminalWindowRecord{
          std::nullopt,
          {TerminalTabRecord{"/tmp", "zsh"}, TerminalTabRecord{std::nullopt, "top"}}}}}};
  snapshot.clipboard = ClipboardRecord({{{"public.utf8-plain-text", {'h', 'i', '!'}}}});
  snapshot.rescued = {RescuedDocument{"com.example.Pages", "Pages", "Untitled",
                                      "/Users/ann/Documents/Brimwell Rescued/Untitled.pages"}};
  snapshot.savers = {SaverResult{"com.example.Pages", "Pages", SaverOutcome::pressedCommandS, 1, 1,
                                 "Saved one copy."}};
  snapshot.savePassAt = createdAt - std::chrono::seconds(30);
  return snapshot;
}

}  // namespace brimwell::testing
