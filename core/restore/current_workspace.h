// CurrentWorkspace: what is open on the machine at planning time, as the application observed it.
// Every comparison against it is an exact string comparison. Plain value; any thread.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/app_kinds.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct CurrentWorkspace {
  std::set<std::string> runningBundleIDs;
  std::set<std::string> runningAppPaths;
  std::set<std::string> openDocumentPaths;
  std::map<BrowserKind, std::set<std::string>> openTabURLs;  // per browser, its open tab URLs
  std::set<std::string> openFinderPaths;
  bool clipboardIsEmpty = false;
  // Per terminal application, the working directory of each open tab; a directory open in two
  // tabs is listed twice, and the order is part of the value.
  std::map<TerminalKind, std::vector<std::string>> openTerminalTabs;

  friend bool operator==(const CurrentWorkspace&, const CurrentWorkspace&) = default;
};

// An object keyed by the field names; sets are arrays, the two maps are keyed by raw values. Every
// key is required.
template <>
struct JsonCoding<CurrentWorkspace> {
  static Json write(const CurrentWorkspace& value);
  static CurrentWorkspace read(const Json& json);
};

}  // namespace brimwell
