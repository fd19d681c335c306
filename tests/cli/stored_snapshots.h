// Snapshots made and stored through the library, for the tool's tests to read back.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

// A snapshot taken at `createdAt` with `apps` applications (each showing its own document), one
// browser window of `tabs` tabs and one rescued copy.
inline Snapshot makeSnapshot(Date createdAt, int apps, int tabs, CaptureTrigger trigger) {
  Snapshot snapshot;
  snapshot.id = SnapshotID::make(createdAt);
  snapshot.meta = SnapshotMeta{.createdAt = createdAt,
                               .trigger = trigger,
                               .batteryPercent = 9,
                               .powerSource = PowerSource::battery,
                               .bootSessionUUID = "boot-1",
                               .hostModel = "Notebook 14"};
  for (int i = 0; i < apps; ++i) {
    AppRecord app{.bundleID = "org.example.app" + std::to_string(i),
                  .path = "/usr/share/applications/app" + std::to_string(i) + ".desktop",
                  .name = "App " + std::to_string(i),
                  .order = i};
    app.windows.push_back(
        WindowRecord{.title = "Notes " + std::to_string(i),
                     .frame = Rect{0, 0, 800, 600},
                     .documentURL = "file:///home/ann/notes" + std::to_string(i) + ".txt"});
    snapshot.apps.push_back(app);
  }
  BrowserWindowRecord window;
  for (int i = 0; i < tabs; ++i) {
    window.tabs.push_back(TabRecord{"https://example.org/" + std::to_string(i), "Tab"});
  }
  snapshot.browsers.push_back(BrowserRecord{.browser = BrowserKind::chrome, .windows = {window}});
  snapshot.rescued.push_back(RescuedDocument{"org.example.app0", "App 0", "Draft",
                                             "/home/ann/Documents/Brimwell Rescued/Draft.txt"});
  return snapshot;
}

// `snapshot`, once saved through the library in the snapshot folder of the support directory.
inline Snapshot stored(const TempDir& support, Snapshot snapshot) {
  EXPECT_TRUE(SnapshotStore(BrimwellPaths{support.path(), support / "rescued"}).save(snapshot));
  return snapshot;
}

}  // namespace brimwell::testing
