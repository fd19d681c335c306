// Measures the snapshot store against the plain file operations it is judged by, side by side in
// one run, and prints each ratio with its target:
//   (a) a cold summary of a snapshot with a 10 MiB clipboard through the probe vs reading the
//       file's bytes, and vs a full decode;
//   (b) warm summaries() over 300 files, per file, vs one stat call;
//   (c) save of a large snapshot vs write + fsync + rename of its encoded bytes, without and
//       with the directory flush that makes the rename durable (the store's only extra flush);
//   and the peak memory of loading the 10 MiB-clipboard snapshot, measured in a child process.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/plain_write.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/snapshots/snapshot_writer.h"
#include "brimwell/core/snapshots/summary_probe.h"
#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace {

using namespace brimwell;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The median of `rounds` timings of `work`, in seconds per call.
double medianSeconds(int rounds, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::string readBytes(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  ::fstat(fd, &status);
  std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (count <= 0) break;
    done += static_cast<std::size_t>(count);
  }
  ::close(fd);
  return bytes;
}

Date instant(int offsetSeconds) {
  return Date(std::chrono::milliseconds(1'772'373'909'250) + std::chrono::seconds(offsetSeconds));
}

Snapshot baseSnapshot(Date at) {
  SnapshotMeta meta{at, CaptureTrigger::brimwell, 9, PowerSource::battery, "boot", "Laptop", 40};
  return Snapshot(SnapshotID::make(at), meta, {}, {}, {}, {}, std::nullopt, {}, {});
}

ClipboardRecord clipboardOf(std::size_t size) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return ClipboardRecord({{{"public.data", std::move(bytes)}}});
}

// 200 applications with 1,000 windows, 5,000 tabs in 100 browser windows, and the clipboard.
Snapshot largeSnapshot(Date at, std::size_t clipboardBytes) {
  Snapshot snapshot = baseSnapshot(at);
  for (int a = 0; a < 200; ++a) {
    AppRecord app{"com.example.app" + std::to_string(a),
                  "/Applications/App" + std::to_string(a) + ".app",
                  "App " + std::to_string(a),
                  false,
                  a == 0,
                  a,
                  {},
                  CaptureStatus::ok};
    for (int w = 0; w < 5; ++w) {
      app.windows.push_back({"Document " + std::to_string(w), Rect{10, 20, 800, 600}, false, false,
                             "file:///Users/ann/Documents/App" + std::to_string(a) + "/Doc%20" +
                                 std::to_string(w) + ".txt",
                             w});
    }
    snapshot.apps.push_back(std::move(app));
  }
  BrowserRecord browser{BrowserKind::chrome, CaptureStatus::ok, {}};
  for (int w = 0; w < 100; ++w) {
    BrowserWindowRecord window{Rect{0, 0, 1200, 900}, 3, {}};
    for (int t = 0; t < 50; ++t) {
      window.tabs.push_back(
          {"https://example.org/page/" + std::to_string(w) + "/" + std::to_string(t),
           "Page title number " + std::to_string(t)});
    }
    browser.windows.push_back(std::move(window));
  }
  snapshot.browsers.push_back(std::move(browser));
  snapshot.clipboard = clipboardOf(clipboardBytes);
  return snapshot;
}

void printRatio(const char* what, double measured, const char* target, bool met) {
  std::printf("  %-62s %8.2fx  (target %s) %s\n", what, measured, target, met ? "met" : "MISSED");
}

long long statusBytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::strlen(key)) * 1024;
  }
  return -1;
}

// In a fresh process (this program run as "load-peak FOLDER ID"): loads the snapshot and prints
// how far the peak resident size rose above the size before the load.
int loadPeakChild(const char* support, const std::string& id) {
  SnapshotStore store(BrimwellPaths{support, {}});
  const long long before = statusBytes("VmRSS:");
  const bool loaded = store.load(id).has_value();
  std::printf("%lld\n", loaded ? statusBytes("VmHWM:") - before : -1LL);
  return 0;
}

// Peak resident memory added by loading `id`, measured in a new process so no memory freed
// earlier in this one is reused; -1 when it can't be measured.
long long peakLoadBytes(const char* self, const fs::path& support, const std::string& id) {
  const std::string command = std::string(self) + " load-peak '" + support.string() + "' " + id;
  FILE* child = ::popen(command.c_str(), "r");
  if (child == nullptr) return -1;
  long long delta = -1;
  if (std::fscanf(child, "%lld", &delta) != 1) delta = -1;
  ::pclose(child);
  return delta;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "load-peak") return loadPeakChild(argv[2], argv[3]);
  char pattern[] = "/tmp/brimwell-bench-XXXXXX";
  const fs::path root = ::mkdtemp(pattern);
  std::printf("snapshot_bench (files under %s)\n", root.c_str());

  // (a) One snapshot with a 10 MiB clipboard.
  SnapshotStore big(BrimwellPaths{root / "big", {}});
  Snapshot clipboardHeavy = baseSnapshot(instant(0));
  clipboardHeavy.clipboard = clipboardOf(ClipboardRecord::maxBytes);
  if (!big.save(clipboardHeavy)) return 1;
  const fs::path bigFile = big.folder() / (clipboardHeavy.id + ".json");
  const double fileSize = static_cast<double>(fs::file_size(bigFile));
  const int rounds = 15;
  double readTime = 0, probeTime = 0, fullTime = 0;
  for (int repeat = 0; repeat < 3; ++repeat) {  // interleaved, so each sees the same machine state
    readTime += medianSeconds(rounds, [&] { (void)readBytes(bigFile); });
    probeTime += medianSeconds(rounds, [&] {
      SnapshotStore cold(BrimwellPaths{root / "big", {}});  // a new store: nothing cached
      if (cold.summaries().size() != 1) std::abort();
    });
    fullTime += medianSeconds(5, [&] {
      if (!big.load(clipboardHeavy.id)) std::abort();
    });
  }
  std::printf("(a) snapshot file of %.1f MiB (10 MiB clipboard)\n", fileSize / (1 << 20));
  std::printf("  read bytes %.3f ms, cold summary via probe %.3f ms, full load %.3f ms\n",
              readTime / 3 * 1e3, probeTime / 3 * 1e3, fullTime / 3 * 1e3);
  printRatio("cold summary / read bytes", probeTime / readTime, "<= 1.5x",
             probeTime / readTime <= 1.5);
  printRatio("full decode / cold summary (probe speed-up)", fullTime / probeTime, ">= 10x",
             fullTime / probeTime >= 10);

  // (b) 300 snapshot files, summaries warm.
  SnapshotStore many(BrimwellPaths{root / "many", {}});
  for (int i = 0; i < 300; ++i) {
    Snapshot snapshot = largeSnapshot(instant(i), 0);
    snapshot.apps.resize(5);
    snapshot.browsers[0].windows.resize(3);
    if (!many.save(snapshot)) return 1;
  }
  if (many.summaries().size() != 300) return 1;  // fills the cache
  const fs::path someFile = many.folder() / (SnapshotID::make(instant(150)) + ".json");
  double warmTime = 0, statTime = 0;
  for (int repeat = 0; repeat < 3; ++repeat) {
    warmTime += medianSeconds(21,
                              [&] {
                                if (many.summaries().size() != 300) std::abort();
                              }) /
                300;
    statTime += medianSeconds(21,
                              [&] {
                                struct stat status {};
                                for (int i = 0; i < 300; ++i) ::lstat(someFile.c_str(), &status);
                              }) /
                300;
  }
  std::printf("(b) warm summaries() over 300 files: %.2f us per file, one stat %.2f us\n",
              warmTime / 3 * 1e6, statTime / 3 * 1e6);
  printRatio("warm summary per file / one stat", warmTime / statTime, "<= 3.0x",
             warmTime / statTime <= 3.0);

  // (c) Save of a large snapshot vs writing its encoded bytes.
  SnapshotStore saving(BrimwellPaths{root / "save", {}});
  const Snapshot large = largeSnapshot(instant(0), 1 << 20);
  const std::string encoded = *BrimwellJSON::encode(large);
  fs::create_directories(saving.folder());
  const fs::path plainTarget = saving.folder() / "plain.json",
                 plainTemp = saving.folder() / ".plain.tmp";
  double saveTime = 0, plainTime = 0, plainFlushedTime = 0;
  for (int repeat = 0; repeat < 3; ++repeat) {
    saveTime += medianSeconds(9, [&] {
      if (!saving.save(large)) std::abort();
    });
    plainTime +=
        medianSeconds(9, [&] { bench::plainWrite(encoded, plainTemp, plainTarget, false); });
    plainFlushedTime +=
        medianSeconds(9, [&] { bench::plainWrite(encoded, plainTemp, plainTarget, true); });
  }
  const AtomicFile::ByteSink discard = [](std::string_view) { return Status(); };
  const double writerTime = medianSeconds(9, [&] { (void)SnapshotWriter::write(large, discard); });
  const double treeTime = medianSeconds(9, [&] { (void)BrimwellJSON::encode(large); });
  const fs::path atomicTarget = saving.folder() / "atomic.json";
  const double atomicTime =
      medianSeconds(9, [&] { (void)AtomicFile::write(encoded, atomicTarget); });
  std::printf(
      "(c) large snapshot (200 apps, 1,000 windows, 5,000 tabs, 1 MiB clipboard; %.1f MiB)\n",
      static_cast<double>(encoded.size()) / (1 << 20));
  std::printf("  save %.3f ms, write+fsync+rename %.3f ms, the same + directory fsync %.3f ms\n",
              saveTime / 3 * 1e3, plainTime / 3 * 1e3, plainFlushedTime / 3 * 1e3);
  std::printf(
      "  parts of save: streamed encode %.3f ms (value-tree encode %.3f ms), atomic write "
      "with directory flush %.3f ms\n",
      writerTime * 1e3, treeTime * 1e3, atomicTime * 1e3);
  printRatio("save / write+fsync+rename", saveTime / plainTime, "<= 1.5x",
             saveTime / plainTime <= 1.5);
  printRatio("save / write+fsync+rename+directory fsync", saveTime / plainFlushedTime, "<= 1.5x",
             saveTime / plainFlushedTime <= 1.5);

  // Peak memory of a full load of the 10 MiB-clipboard snapshot.
  const long long peak = peakLoadBytes(argv[0], root / "big", clipboardHeavy.id);
  std::printf("(memory) load of the %.1f MiB file: peak resident growth %.1f MiB\n",
              fileSize / (1 << 20), static_cast<double>(peak) / (1 << 20));
  printRatio("peak load memory / file size", static_cast<double>(peak) / fileSize, "<= 4.0x",
             peak >= 0 && static_cast<double>(peak) / fileSize <= 4.0);

  std::error_code ignored;
  fs::remove_all(root, ignored);
  return 0;
}
