#include "brimwell/core/snapshots/summary_probe.h"

#include <simdjson.h>

#include "brimwell/core/snapshots/long_string_skipper.h"
#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/json_syntax.h"

namespace brimwell {
namespace {

namespace od = simdjson::ondemand;

static_assert(simdjson::SIMDJSON_PADDING <= SummaryProbe::padding);

// A probe failure in words; thrown inside this file only and turned into an Error by decode.
struct ProbeFailure {
  std::string message;
};

template <class T>
T take(simdjson::simdjson_result<T>&& result, std::string_view what) {
  T value;
  if (const auto error = std::move(result).get(value); error != simdjson::SUCCESS) {
    std::string reason = simdjson::error_message(error);
    if (reason.ends_with('.')) reason.pop_back();
    throw ProbeFailure{"the " + std::string(what) + " is not readable (" + reason + ")"};
  }
  return value;
}

void requireKey(bool seen, std::string_view key) {
  if (!seen) throw ProbeFailure{"the key \"" + std::string(key) + "\" is missing"};
}

// Visits every field of an object in document order, as the on-demand parser requires.
template <class Visit>
void forEachField(od::value value, std::string_view what, Visit&& visit) {
  od::object object = take(value.get_object(), what);
  for (auto entry : object) {
    od::field field = take(std::move(entry), what);
    const std::string_view key = take(field.unescaped_key(), what);
    visit(key, field.value());
  }
}

template <class Visit>
void forEachElement(od::value value, std::string_view what, Visit&& visit) {
  od::array array = take(value.get_array(), what);
  for (auto entry : array) visit(take(std::move(entry), what));
}

SummaryProbe::Meta readMeta(od::value value) {
  SummaryProbe::Meta meta;
  bool hasDate = false, hasTrigger = false;
  forEachField(value, "meta", [&](std::string_view key, od::value field) {
    if (key == "createdAt") {
      const std::string_view text = take(field.get_string(), "meta.createdAt");
      const auto date = BrimwellJSON::parse(text);
      if (!date) throw ProbeFailure{"Not an ISO8601 date: " + std::string(text)};
      meta.createdAt = *date;
      hasDate = true;
    } else if (key == "trigger") {
      const std::string_view text = take(field.get_string(), "meta.trigger");
      const auto trigger = enumFromString<CaptureTrigger>(text);
      if (!trigger) throw ProbeFailure{"\"" + std::string(text) + "\" is not a capture trigger"};
      meta.trigger = *trigger;
      hasTrigger = true;
    }
  });
  requireKey(hasDate, "createdAt");
  requireKey(hasTrigger, "trigger");
  return meta;
}

SummaryProbe::Window readWindow(od::value value) {
  SummaryProbe::Window window;
  forEachField(value, "window", [&](std::string_view key, od::value field) {
    if (key != "documentURL") return;
    if (take(field.is_null(), "documentURL")) {
      window.documentURL.reset();
    } else {
      window.documentURL = std::string(take(field.get_string(), "documentURL"));
    }
  });
  return window;
}

SummaryProbe::App readApp(od::value value) {
  SummaryProbe::App app;
  bool hasWindows = false;
  forEachField(value, "app", [&](std::string_view key, od::value field) {
    if (key != "windows") return;
    app.windows.clear();
    forEachElement(field, "windows",
                   [&](od::value window) { app.windows.push_back(readWindow(window)); });
    hasWindows = true;
  });
  requireKey(hasWindows, "windows");
  return app;
}

SummaryProbe::BrowserWindow readBrowserWindow(od::value value) {
  SummaryProbe::BrowserWindow window;
  bool hasTabs = false;
  forEachField(value, "browser window", [&](std::string_view key, od::value field) {
    if (key != "tabs") return;
    window.tabCount = 0;
    forEachElement(field, "tabs", [&](od::value) { ++window.tabCount; });
    hasTabs = true;
  });
  requireKey(hasTabs, "tabs");
  return window;
}

SummaryProbe::Browser readBrowser(od::value value) {
  SummaryProbe::Browser browser;
  bool hasWindows = false;
  forEachField(value, "browser", [&](std::string_view key, od::value field) {
    if (key != "windows") return;
    browser.windows.clear();
    forEachElement(field, "windows",
                   [&](od::value window) { browser.windows.push_back(readBrowserWindow(window)); });
    hasWindows = true;
  });
  requireKey(hasWindows, "windows");
  return browser;
}

SummaryProbe::Rescued readRescued(od::value value) {
  SummaryProbe::Rescued rescued;
  bool hasPath = false;
  forEachField(value, "rescued document", [&](std::string_view key, od::value field) {
    if (key != "path") return;
    rescued.path = std::string(take(field.get_string(), "path"));
    hasPath = true;
  });
  requireKey(hasPath, "path");
  return rescued;
}

SummaryProbe readDocument(od::document& document) {
  SummaryProbe probe;
  bool hasMeta = false, hasApps = false, hasBrowsers = false, hasRescued = false;
  od::object top = take(document.get_object(), "snapshot");
  for (auto entry : top) {
    od::field field = take(std::move(entry), "snapshot");
    const std::string_view key = take(field.unescaped_key(), "snapshot");
    if (key == "meta") {
      probe.meta = readMeta(field.value());
      hasMeta = true;
    } else if (key == "apps") {
      probe.apps.clear();
      forEachElement(field.value(), "apps",
                     [&](od::value app) { probe.apps.push_back(readApp(app)); });
      hasApps = true;
    } else if (key == "browsers") {
      probe.browsers.clear();
      forEachElement(field.value(), "browsers",
                     [&](od::value browser) { probe.browsers.push_back(readBrowser(browser)); });
      hasBrowsers = true;
    } else if (key == "rescued") {
      probe.rescued.clear();
      forEachElement(field.value(), "rescued",
                     [&](od::value rescued) { probe.rescued.push_back(readRescued(rescued)); });
      hasRescued = true;
    }
  }
  requireKey(hasMeta, "meta");
  requireKey(hasApps, "apps");
  requireKey(hasBrowsers, "browsers");
  requireKey(hasRescued, "rescued");
  // Past the top-level object only the end of the text may follow.
  if (document.current_location().error() != simdjson::OUT_OF_BOUNDS) {
    throw ProbeFailure{"unexpected text follows the snapshot"};
  }
  return probe;
}

}  // namespace

Result<SummaryProbe> SummaryProbe::decode(std::string_view text, std::size_t allocated,
                                          bool shortened) {
  // The parser below reads only what it visits; everything it skips is checked here first.
  const std::string_view placeholder = shortened ? LongStringSkipper::marker : std::string_view();
  if (const auto fault = JsonSyntax::firstFault(text, placeholder)) {
    return fail("The snapshot file can't be summarised: it isn't valid JSON (at byte " +
                std::to_string(*fault + 1) + ").");
  }
  std::string copy;
  if (allocated < text.size() + simdjson::SIMDJSON_PADDING) {
    copy.reserve(text.size() + padding);
    copy = text;
    text = copy;
    allocated = copy.capacity();
  }
  try {
    // One parser per thread keeps its buffers between files, which saves allocating them per
    // call; its memory stays reserved for the largest file the thread has read.
    thread_local od::parser parser;
    od::document document = take(parser.iterate(text.data(), text.size(), allocated), "snapshot");
    return readDocument(document);
  } catch (const ProbeFailure& failure) {
    return fail("The snapshot file can't be summarised: " + failure.message + ".");
  } catch (const std::exception& error) {  // allocation failures inside the parser
    return fail(std::string("The snapshot file can't be summarised: ") + error.what() + ".");
  }
}

SnapshotSummary SummaryProbe::summary(const std::string& id) const {
  // A placeholder snapshot holding only what the counts read, so the counting rules are shared.
  Snapshot placeholder;
  placeholder.id = id;
  placeholder.meta.createdAt = meta.createdAt;
  placeholder.meta.trigger = meta.trigger;
  placeholder.apps.reserve(apps.size());
  for (const auto& app : apps) {
    AppRecord record;
    for (const auto& window : app.windows) {
      WindowRecord windowRecord;
      windowRecord.documentURL = window.documentURL;
      record.windows.push_back(std::move(windowRecord));
    }
    placeholder.apps.push_back(std::move(record));
  }
  for (const auto& browser : browsers) {
    BrowserRecord record;
    for (const auto& window : browser.windows) {
      record.windows.push_back(
          BrowserWindowRecord{std::nullopt, 0, std::vector<TabRecord>(window.tabCount)});
    }
    placeholder.browsers.push_back(std::move(record));
  }
  for (const auto& document : rescued) {
    placeholder.rescued.push_back(RescuedDocument{{}, {}, {}, document.path});
  }
  return SnapshotSummary(placeholder);
}

}  // namespace brimwell
