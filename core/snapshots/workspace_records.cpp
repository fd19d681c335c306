#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

std::optional<ParsedURL> WindowRecord::fileURL() const {
  if (!documentURL) return std::nullopt;
  auto url = ParsedURL::parse(*documentURL);
  if (!url || !url->isFileURL()) return std::nullopt;
  return url;
}

Json JsonCoding<Rect>::write(const Rect& v) {
  return JsonObjectWriter()
      .put("x", v.x)
      .put("y", v.y)
      .put("width", v.width)
      .put("height", v.height)
      .take();
}
Rect JsonCoding<Rect>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<double>("x"), r.required<double>("y"), r.required<double>("width"),
          r.required<double>("height")};
}

Json JsonCoding<WindowRecord>::write(const WindowRecord& v) {
  return JsonObjectWriter()
      .put("title", v.title)
      .put("frame", v.frame)
      .put("isMinimized", v.isMinimized)
      .put("isFullScreen", v.isFullScreen)
      .put("documentURL", v.documentURL)
      .put("order", v.order)
      .take();
}
WindowRecord JsonCoding<WindowRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<std::string>("title"),       r.optional<Rect>("frame"),
          r.required<bool>("isMinimized"),        r.required<bool>("isFullScreen"),
          r.optional<std::string>("documentURL"), r.required<int>("order")};
}

Json JsonCoding<AppRecord>::write(const AppRecord& v) {
  return JsonObjectWriter()
      .put("bundleID", v.bundleID)
      .put("path", v.path)
      .put("name", v.name)
      .put("isHidden", v.isHidden)
      .put("wasFrontmost", v.wasFrontmost)
      .put("order", v.order)
      .put("windows", v.windows)
      .put("windowsStatus", v.windowsStatus)
      .take();
}
AppRecord JsonCoding<AppRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.optional<std::string>("bundleID"),
          r.required<std::string>("path"),
          r.required<std::string>("name"),
          r.required<bool>("isHidden"),
          r.required<bool>("wasFrontmost"),
          r.required<int>("order"),
          r.required<std::vector<WindowRecord>>("windows"),
          r.required<CaptureStatus>("windowsStatus")};
}

Json JsonCoding<TabRecord>::write(const TabRecord& v) {
  return JsonObjectWriter().put("url", v.url).put("title", v.title).take();
}
TabRecord JsonCoding<TabRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<std::string>("url"), r.required<std::string>("title")};
}

Json JsonCoding<BrowserWindowRecord>::write(const BrowserWindowRecord& v) {
  return JsonObjectWriter()
      .put("bounds", v.bounds)
      .put("activeTabIndex", v.activeTabIndex)
      .put("tabs", v.tabs)
      .take();
}
BrowserWindowRecord JsonCoding<BrowserWindowRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.optional<Rect>("bounds"), r.required<int>("activeTabIndex"),
          r.required<std::vector<TabRecord>>("tabs")};
}

Json JsonCoding<BrowserRecord>::write(const BrowserRecord& v) {
  return JsonObjectWriter()
      .put("browser", v.browser)
      .put("status", v.status)
      .put("windows", v.windows)
      .take();
}
BrowserRecord JsonCoding<BrowserRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<BrowserKind>("browser"), r.required<CaptureStatus>("status"),
          r.required<std::vector<BrowserWindowRecord>>("windows")};
}

Json JsonCoding<FinderWindowRecord>::write(const FinderWindowRecord& v) {
  return JsonObjectWriter().put("path", v.path).put("bounds", v.bounds).take();
}
FinderWindowRecord JsonCoding<FinderWindowRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<std::string>("path"), r.optional<Rect>("bounds")};
}

Json JsonCoding<TerminalTabRecord>::write(const TerminalTabRecord& v) {
  return JsonObjectWriter().put("directory", v.directory).put("title", v.title).take();
}
TerminalTabRecord JsonCoding<TerminalTabRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.optional<std::string>("directory"), r.required<std::string>("title")};
}

Json JsonCoding<TerminalWindowRecord>::write(const TerminalWindowRecord& v) {
  return JsonObjectWriter().put("bounds", v.bounds).put("tabs", v.tabs).take();
}
TerminalWindowRecord JsonCoding<TerminalWindowRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.optional<Rect>("bounds"), r.required<std::vector<TerminalTabRecord>>("tabs")};
}

Json JsonCoding<TerminalRecord>::write(const TerminalRecord& v) {
  return JsonObjectWriter()
      .put("app", v.app)
      .put("status", v.status)
      .put("windows", v.windows)
      .take();
}
TerminalRecord JsonCoding<TerminalRecord>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<TerminalKind>("app"), r.required<CaptureStatus>("status"),
          r.required<std::vector<TerminalWindowRecord>>("windows")};
}

Json JsonCoding<RescuedDocument>::write(const RescuedDocument& v) {
  return JsonObjectWriter()
      .put("appBundleID", v.appBundleID)
      .put("appName", v.appName)
      .put("originalTitle", v.originalTitle)
      .put("path", v.path)
      .take();
}
RescuedDocument JsonCoding<RescuedDocument>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<std::string>("appBundleID"), r.required<std::string>("appName"),
          r.required<std::string>("originalTitle"), r.required<std::string>("path")};
}

Json JsonCoding<SaverResult>::write(const SaverResult& v) {
  return JsonObjectWriter()
      .put("bundleID", v.bundleID)
      .put("appName", v.appName)
      .put("outcome", v.outcome)
      .put("saved", v.saved)
      .put("rescued", v.rescued)
      .put("detail", v.detail)
      .take();
}
SaverResult JsonCoding<SaverResult>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<std::string>("bundleID"), r.required<std::string>("appName"),
          r.required<SaverOutcome>("outcome"), r.required<int>("saved"),
          r.required<int>("rescued"),          r.optional<std::string>("detail")};
}

}  // namespace brimwell
