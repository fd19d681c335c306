#include "brimwell/core/restore/current_workspace.h"

#include "brimwell/core/restore/kind_keyed_map.h"

namespace brimwell {

Json JsonCoding<CurrentWorkspace>::write(const CurrentWorkspace& v) {
  return JsonObjectWriter()
      .put("runningBundleIDs", v.runningBundleIDs)
      .put("runningAppPaths", v.runningAppPaths)
      .put("openDocumentPaths", v.openDocumentPaths)
      .put("openTabURLs", v.openTabURLs)
      .put("openFinderPaths", v.openFinderPaths)
      .put("clipboardIsEmpty", v.clipboardIsEmpty)
      .put("openTerminalTabs", v.openTerminalTabs)
      .take();
}

CurrentWorkspace JsonCoding<CurrentWorkspace>::read(const Json& json) {
  const JsonObjectReader r(json);
  using Strings = std::set<std::string>;
  return {r.required<Strings>("runningBundleIDs"),
          r.required<Strings>("runningAppPaths"),
          r.required<Strings>("openDocumentPaths"),
          r.required<std::map<BrowserKind, Strings>>("openTabURLs"),
          r.required<Strings>("openFinderPaths"),
          r.required<bool>("clipboardIsEmpty"),
          r.required<std::map<TerminalKind, std::vector<std::string>>>("openTerminalTabs")};
}

}  // namespace brimwell
