// Cost of planning a restore as the workspace grows. At scale 1 the snapshot holds 2,000
// applications, 10,000 windows, 50,000 browser tabs and 2,000 rescued copies (plus Finder and
// terminal windows), against a current workspace of similar size with about half of it open.
// Scales 1, 2 and 4 are timed in alternating rounds; the figure judged is the per-element cost at
// scale 4 over that at scale 1 (median of the rounds), which a linear or n log n planner keeps
// near 1.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "brimwell/core/restore/restore_planner.h"

namespace {

using namespace brimwell;

struct Workload {
  Snapshot snapshot;
  CurrentWorkspace current;
  long elements = 0;  // applications + windows + tabs + rescued copies of the snapshot
};

// The browsers and terminals come first among the applications so their records are restored.
Workload makeWorkload(int scale) {
  const int apps = 2'000 * scale, windowsPerApp = 5, browserWindows = 5'000 * scale,
            tabsPerWindow = 10, rescued = 2'000 * scale, finder = 1'000 * scale,
            terminalWindows = 1'000 * scale;
  Workload w;
  Snapshot& s = w.snapshot;
  s.id = "20260301T140509.250Z";
  CurrentWorkspace& c = w.current;
  c.clipboardIsEmpty = true;

  for (auto kind : allCases<BrowserKind>()) {
    s.apps.push_back({std::string(bundleID(kind)),
                      "/Applications/" + std::string(toString(kind)),
                      "b",
                      false,
                      false,
                      0,
                      {},
                      CaptureStatus::ok});
  }
  for (auto kind : allCases<TerminalKind>()) {
    s.apps.push_back({std::string(bundleID(kind)),
                      "/Applications/" + std::string(toString(kind)),
                      "t",
                      false,
                      false,
                      1,
                      {},
                      CaptureStatus::ok});
  }
  for (int i = static_cast<int>(s.apps.size()); i < apps; ++i) {
    AppRecord app{"com.example.app" + std::to_string(i),
                  "/Applications/App" + std::to_string(i) + ".app",
                  "App",
                  false,
                  false,
                  (i * 7919) % apps,  // shuffled order with ties
                  {},
                  CaptureStatus::ok};
    for (int j = 0; j < windowsPerApp; ++j) {
      // Every tenth document is shared with the previous application.
      const int owner = (j == 0 && i % 10 == 0) ? i - 1 : i;
      const std::string path =
          "/Users/ann/Documents/app" + std::to_string(owner) + "/doc" + std::to_string(j) + ".txt";
      app.windows.push_back(
          {"w", Rect{0, 0, 100, 100}, false, false, "file://" + path, windowsPerApp - j});
      if ((i + j) % 2 == 0) c.openDocumentPaths.insert(path);
    }
    if (i % 2 == 0) c.runningBundleIDs.insert(*app.bundleID);
    if (i % 3 == 0) c.runningAppPaths.insert(app.path);
    s.apps.push_back(std::move(app));
  }

  const auto browsers = allCases<BrowserKind>();
  for (auto kind : browsers) s.browsers.push_back({kind, CaptureStatus::ok, {}});
  for (int i = 0; i < browserWindows; ++i) {
    const auto kind = browsers[static_cast<std::size_t>(i) % browsers.size()];
    BrowserWindowRecord window{std::nullopt, i % tabsPerWindow, {}};
    for (int t = 0; t < tabsPerWindow; ++t) {
      const std::string url =
          "https://site" + std::to_string(i) + ".example/page/" + std::to_string(t);
      window.tabs.push_back({url, "Page"});
      if ((i + t) % 2 == 0) c.openTabURLs[kind].insert(url);
    }
    s.browsers[static_cast<std::size_t>(kind)].windows.push_back(std::move(window));
  }

  for (int i = 0; i < rescued; ++i) {
    const std::string app = i % 5 == 0 ? "com.gone.app" + std::to_string(i % 50)
                                       : "com.example.app" + std::to_string((i * 31) % apps);
    s.rescued.push_back({app, "App", "Doc", "/Users/ann/Rescued/copy" + std::to_string(i)});
  }
  for (int i = 0; i < finder; ++i) {
    const std::string path = "/Users/ann/Folder" + std::to_string(i);
    s.finder.push_back({path, std::nullopt});
    if (i % 2 == 0) c.openFinderPaths.insert(path);
  }
  for (auto kind : allCases<TerminalKind>()) s.terminals.push_back({kind, CaptureStatus::ok, {}});
  for (int i = 0; i < terminalWindows; ++i) {
    const auto kind = i % 2 == 0 ? TerminalKind::terminal : TerminalKind::iterm2;
    TerminalWindowRecord window{std::nullopt, {}};
    for (int t = 0; t < 3; ++t) {
      const std::string directory = "/Users/ann/src/p" + std::to_string((i * 3 + t) % 700);
      window.tabs.push_back({directory, "sh"});
      if (t == 0) c.openTerminalTabs[kind].push_back(directory);
    }
    s.terminals[static_cast<std::size_t>(kind)].windows.push_back(std::move(window));
  }
  s.clipboard = ClipboardRecord({{{"public.utf8-plain-text", {'x'}}}});

  w.elements = static_cast<long>(s.apps.size()) + static_cast<long>(apps) * windowsPerApp +
               static_cast<long>(s.tabCount()) + rescued;
  return w;
}

const Workload& workload(int scale) {
  static std::map<int, Workload> cache;
  auto found = cache.find(scale);
  if (found == cache.end()) found = cache.emplace(scale, makeWorkload(scale)).first;
  return found->second;
}

void BM_Plan(benchmark::State& state) {
  const Workload& w = workload(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto plan = RestorePlanner::plan(w.snapshot, RestoreSelection::everything(), w.current);
    benchmark::DoNotOptimize(plan);
  }
  state.counters["elements"] = static_cast<double>(w.elements);
  state.counters["ns_per_element"] = benchmark::Counter(
      static_cast<double>(w.elements),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

constexpr int kRounds = 5;
constexpr int kScales[] = {1, 2, 4};

std::string runName(int round, int scale) {
  return "BM_Plan/scale" + std::to_string(scale) + "/round" + std::to_string(round);
}

void registerPlans() {
  for (int scale : kScales) workload(scale);  // built before any timing
  for (int round = 0; round < kRounds; ++round) {
    for (int scale : kScales) {
      benchmark::RegisterBenchmark(runName(round, scale).c_str(), BM_Plan)
          ->Arg(scale)
          ->MinTime(0.5)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

// Keeps the CPU time per iteration (steadier than wall time on a shared machine) of each run so the
// per-element ratios can follow the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.iterations > 0) {
        seconds_[run.run_name.function_name] =
            run.cpu_accumulated_time / static_cast<double>(run.iterations);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void printRatios() const {
    std::map<int, std::vector<double>> perElement;  // ns per element, by scale
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
      std::map<int, double> thisRound;
      for (int scale : kScales) {
        const auto found = seconds_.find(runName(round, scale));
        if (found == seconds_.end()) continue;
        thisRound[scale] = found->second * 1e9 / static_cast<double>(workload(scale).elements);
        perElement[scale].push_back(thisRound[scale]);
      }
      if (thisRound.count(1) && thisRound.count(4)) ratios.push_back(thisRound[4] / thisRound[1]);
    }
    const auto median = [](std::vector<double> values) {
      std::sort(values.begin(), values.end());
      return values[values.size() / 2];
    };
    for (const auto& [scale, values] : perElement) {
      std::printf("scale %d (%ld elements): median %.1f ns per element\n", scale,
                  workload(scale).elements, median(values));
    }
    if (ratios.empty()) return;
    std::printf(
        "ratio per-element cost 4n / n: median %.2f of %zu rounds (min %.2f, max %.2f; "
        "target <= 1.5)\n",
        median(ratios), ratios.size(), *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()));
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  registerPlans();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
