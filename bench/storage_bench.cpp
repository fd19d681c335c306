// Costs of the shared storage primitives: the date text form and the atomic writer. The atomic
// write is timed side by side in the same run with a plain write + fsync + rename of the same
// bytes, and with the same plus the directory flush that makes the rename durable: the flush is
// the only extra cost the writer is allowed, so against the second it must cost nothing more.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/plain_write.h"
#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace {

using namespace brimwell;

std::filesystem::path benchDirectory() {
  static const std::filesystem::path dir = [] {
    std::string pattern = (std::filesystem::current_path() / "brimwell-bench-XXXXXX").string();
    return std::filesystem::path(::mkdtemp(pattern.data()));
  }();
  return dir;
}

void BM_Format(benchmark::State& state) {
  Date date = *BrimwellJSON::parse("2026-03-01T14:05:09.250Z");
  for (auto _ : state) {
    benchmark::DoNotOptimize(BrimwellJSON::format(date));
    date += std::chrono::milliseconds(1);
  }
}
BENCHMARK(BM_Format);

void BM_Parse(benchmark::State& state) {
  const std::string text = "2026-03-01T14:05:09.250Z";
  for (auto _ : state) benchmark::DoNotOptimize(BrimwellJSON::parse(text));
}
BENCHMARK(BM_Parse);

void BM_AtomicWrite(benchmark::State& state) {
  const std::string data(static_cast<std::size_t>(state.range(0)), 'x');
  const auto target = benchDirectory() / "atomic.json";
  for (auto _ : state) {
    if (!AtomicFile::write(data, target)) state.SkipWithError("atomic write failed");
  }
}

// A plain write + fsync + rename, and with `flushDirectory` also the directory flush.
void plainWrites(benchmark::State& state, bool flushDirectory) {
  const std::string data(static_cast<std::size_t>(state.range(0)), 'x');
  const auto target = benchDirectory() / "plain.json";
  const auto temporary = benchDirectory() / ".plain.json.tmp";
  for (auto _ : state) bench::plainWrite(data, temporary, target, flushDirectory);
}

void BM_PlainWriteFsyncRename(benchmark::State& state) { plainWrites(state, false); }
void BM_PlainWriteFsyncRenameDirFsync(benchmark::State& state) { plainWrites(state, true); }

constexpr int kRounds = 5;
const char* const kSizes[] = {"4KiB", "1MiB"};

// Registered in alternating rounds so the two are measured side by side under the same load; the
// ratio reported is the median of the per-round ratios.
void registerWrites() {
  for (int round = 0; round < kRounds; ++round) {
    for (const char* size : kSizes) {
      const long bytes = std::string(size) == "4KiB" ? 4L << 10 : 1L << 20;
      const std::string suffix = std::string("/") + size + "/round" + std::to_string(round);
      benchmark::RegisterBenchmark(("BM_PlainWriteFsyncRename" + suffix).c_str(),
                                   BM_PlainWriteFsyncRename)
          ->Arg(bytes)
          ->MinTime(0.3)
          ->UseRealTime();
      benchmark::RegisterBenchmark(("BM_PlainWriteFsyncRenameDirFsync" + suffix).c_str(),
                                   BM_PlainWriteFsyncRenameDirFsync)
          ->Arg(bytes)
          ->MinTime(0.3)
          ->UseRealTime();
      benchmark::RegisterBenchmark(("BM_AtomicWrite" + suffix).c_str(), BM_AtomicWrite)
          ->Arg(bytes)
          ->MinTime(0.3)
          ->UseRealTime();
    }
  }
}

// Collects real time per benchmark so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // Keyed by the name given at registration, without the argument and option suffixes.
    for (const auto& run : runs) times_[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void printRatios() const {
    for (const char* size : kSizes) {
      printRatio(size, "BM_PlainWriteFsyncRename", "plain write+fsync+rename");
      printRatio(size, "BM_PlainWriteFsyncRenameDirFsync",
                 "plain write+fsync+rename+directory fsync");
    }
  }

 private:
  // The median of the per-round ratios of the atomic write to `baseline`.
  void printRatio(const char* size, const std::string& baseline, const char* what) const {
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
      const std::string suffix = std::string("/") + size + "/round" + std::to_string(round);
      const auto plain = times_.find(baseline + suffix);
      const auto atomic = times_.find("BM_AtomicWrite" + suffix);
      if (plain != times_.end() && atomic != times_.end()) {
        ratios.push_back(atomic->second / plain->second);
      }
    }
    if (ratios.empty()) return;
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio atomic write / %s, %s: median %.2f of %zu rounds (min %.2f, max %.2f)\n",
                what, size, ratios[ratios.size() / 2], ratios.size(), ratios.front(),
                ratios.back());
  }

  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  registerWrites();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  std::filesystem::remove_all(benchDirectory());
  benchmark::Shutdown();
  return 0;
}
