#include "linux/save/save_plan.h"

#include <algorithm>
#include <array>

namespace brimwell {
namespace {

// Applications that keep unsaved documents on their own and bring them back at the next start:
// GNOME Text Editor keeps drafts of every unsaved document, Visual Studio Code backs up unsaved
// editors as they change ("hot exit"), and Obsidian writes every change to its file as it's made.
// Pressing Ctrl+S in them would at best do nothing and at worst open a Save dialog.
constexpr std::array<std::string_view, 3> kSavesItself = {"org.gnome.TextEditor", "code",
                                                          "obsidian"};

}  // namespace

bool savesItself(std::string_view bundleID) {
  return std::find(kSavesItself.begin(), kSavesItself.end(), bundleID) != kSavesItself.end();
}

std::vector<PlannedSave> planSaves(const std::vector<RunningApp>& running,
                                   const std::set<std::string>& commandSBundleIDs,
                                   const std::set<std::string>& excluding) {
  std::vector<PlannedSave> plans;
  for (const auto& app : running) {
    if (excluding.contains(app.bundleID)) continue;
    SaveWay way = SaveWay::notSupported;
    if (app.bundleID == kEmacsBundleID) {
      way = SaveWay::emacsServer;
    } else if (app.bundleID == kNeovimBundleID) {
      way = SaveWay::neovimServers;
    } else if (app.bundleID == kVimBundleID) {
      way = SaveWay::vimServers;
    } else if (commandSBundleIDs.contains(app.bundleID)) {
      way = SaveWay::commandS;
    } else if (savesItself(app.bundleID)) {
      way = SaveWay::savesItself;
    }
    plans.push_back({.app = app, .way = way});
  }
  return plans;
}

SaverResult resultWithoutAsking(const PlannedSave& plan) {
  SaverResult result{.bundleID = plan.app.bundleID, .appName = plan.app.name};
  if (plan.way == SaveWay::savesItself) {
    result.outcome = SaverOutcome::savesItself;
    result.detail = "It keeps unsaved documents by itself.";
  } else {
    result.outcome = SaverOutcome::notSupported;
    result.detail =
        "Brimwell doesn't know how to ask it to save; add it to the Ctrl+S list "
        "if Ctrl+S saves in it.";
  }
  return result;
}

SaverResult resultOutOfTime(const RunningApp& app, bool started) {
  return {.bundleID = app.bundleID,
          .appName = app.name,
          .outcome = SaverOutcome::failed,
          .detail = started ? "It didn't answer in time."
                            : "Brimwell ran out of time before asking it to save."};
}

}  // namespace brimwell
