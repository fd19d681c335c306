// The restore planner fed with decoded snapshots, selections and current workspaces: it never
// emits a step for something already open or running, every window it opens has something to
// show, placement comes after every launch and open, and the same inputs give the same plan.
// The input is a JSON object {"snapshot":..,"selection":..,"current":..}; a selection or current
// workspace that doesn't decode stands for everything and for an empty machine.
#include <set>
#include <variant>

#include "brimwell/core/restore/restore_planner.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

namespace {

template <class T>
std::optional<T> member(const Json& object, const char* key) {
  if (!object.contains(key)) return std::nullopt;
  auto value = BrimwellJSON::decodeTree<T>(object.at(key));
  if (!value) return std::nullopt;
  return std::move(*value);
}

template <class Set, class Key>
bool has(const Set& set, const Key& key) {
  return set.find(key) != set.end();
}

void checkPlan(const Snapshot& snapshot, const RestoreSelection& selection,
               const CurrentWorkspace& current, const RestorePlan& plan) {
  std::set<std::string> opened;
  bool placing = false;
  for (const RestoreStep& step : plan.steps) {
    std::visit(
        [&](const auto& c) {
          using Step = std::decay_t<decltype(c)>;
          if constexpr (std::is_same_v<Step, RestoreStep::PlaceWindows>) {
            placing = true;
            fuzz::check(!c.app.windows.empty(), "a placement has windows");
            return;
          } else if constexpr (!std::is_same_v<Step, RestoreStep::RestoreClipboard>) {
            fuzz::check(!placing, "placement comes after every launch and open");
          }
          if constexpr (std::is_same_v<Step, RestoreStep::LaunchApp>) {
            fuzz::check(!(c.app.bundleID && has(current.runningBundleIDs, *c.app.bundleID)) &&
                            !has(current.runningAppPaths, c.app.path),
                        "no launch of a running application");
          } else if constexpr (std::is_same_v<Step, RestoreStep::OpenDocuments>) {
            fuzz::check(!c.paths.empty(), "an open step has documents");
            for (const auto& path : c.paths) {
              fuzz::check(!has(current.openDocumentPaths, path), "no open of an open document");
              fuzz::check(opened.insert(path).second, "each document is opened once");
            }
          } else if constexpr (std::is_same_v<Step, RestoreStep::OpenBrowserWindow>) {
            const auto open = current.openTabURLs.find(c.browser);
            fuzz::check(!c.window.tabs.empty(), "a browser window has tabs");
            fuzz::check(c.window.activeTabIndex >= 0 &&
                            c.window.activeTabIndex < static_cast<int>(c.window.tabs.size()),
                        "the active tab is one of the window's");
            for (const auto& tab : c.window.tabs) {
              fuzz::check(open == current.openTabURLs.end() || !has(open->second, tab.url),
                          "no tab that is open now");
            }
          } else if constexpr (std::is_same_v<Step, RestoreStep::OpenFinderWindow>) {
            fuzz::check(!has(current.openFinderPaths, c.window.path),
                        "no Finder window that is open now");
          } else if constexpr (std::is_same_v<Step, RestoreStep::OpenTerminalWindow>) {
            fuzz::check(!c.window.tabs.empty(), "a terminal window has tabs");
            for (const auto& tab : c.window.tabs) {
              fuzz::check(tab.directory.has_value(), "every terminal tab has a directory");
            }
          } else if constexpr (std::is_same_v<Step, RestoreStep::RestoreClipboard>) {
            fuzz::check(snapshot.clipboard && !snapshot.clipboard->items.empty(),
                        "only a clipboard with items is restored");
            fuzz::check(selection.clipboard.value_or(current.clipboardIsEmpty),
                        "the clipboard is restored only when wanted");
            fuzz::check(!selection.clipboardWasDefault || current.clipboardIsEmpty,
                        "a default choice never replaces a clipboard in use");
          }
        },
        step.value());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto tree = BrimwellJSON::parseTree(fuzz::textOf(data, size));
  if (!tree || !tree->is_object()) return 0;
  auto snapshot = member<Snapshot>(*tree, "snapshot");
  if (!snapshot) return 0;
  const RestoreSelection selection =
      member<RestoreSelection>(*tree, "selection").value_or(RestoreSelection::everything());
  const CurrentWorkspace current =
      member<CurrentWorkspace>(*tree, "current").value_or(CurrentWorkspace{});

  const RestorePlan plan = RestorePlanner::plan(*snapshot, selection, current);
  checkPlan(*snapshot, selection, current, plan);
  fuzz::check(RestorePlanner::plan(*snapshot, selection, current) == plan,
              "the same inputs give the same plan");
  return 0;
}
