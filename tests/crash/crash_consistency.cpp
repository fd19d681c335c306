// Crash consistency of every state file: a forked child rewrites one file through the real store,
// alternating between two complete contents, and is killed with SIGKILL at a random moment. After
// every kill the file must decode to the content of the last write that finished, or to that of the
// write in progress, and the only leftovers may be the writer's hidden temporary files. Exits 0
// when every kill passed; prints the kills survived per file kind.
//
// Usage: brimwell_crash_consistency [DIRECTORY] [KILLS_PER_KIND] [SEED]
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "brimwell/core/helper/power_saver_record.h"
#include "brimwell/core/journal/journal_store.h"
#include "brimwell/core/rescue/rescue_ledger.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/brimwell_paths.h"
#include "brimwell/core/storage/read_file.h"
#include "helper/helper_record_store.h"

namespace brimwell {
namespace {

namespace fs = std::filesystem;

// One kind of state file: how the child writes content number `n` (two contents, n % 2) through
// the real code path, and what a reader finds there now, decoded with the real decoder.
struct Kind {
  std::string name;
  fs::path file;
  std::string temporaryPrefix;  // hidden temporary files start with this, then UUID ".tmp"
  std::function<bool(int n)> write;
  // Which content (0 or 1) the file holds; a sentence when it holds neither.
  std::function<Expected<int, std::string>()> read;
  // Leftovers stay for the store's own cleanup to remove (otherwise the test removes them).
  bool storeCleansUp = false;
};

// The child's progress, shared across fork: the number of the write started and finished last.
struct Progress {
  std::atomic<long> started{-1};
  std::atomic<long> finished{-1};
};

std::string padding(int n, std::size_t size) { return std::string(size, n % 2 ? 'b' : 'a'); }

// Matches `value` against the two contents made by `make`; a sentence when it is neither.
template <class T, class Make>
Expected<int, std::string> whichOf(const Result<T>& value, Make make) {
  if (!value) return Unexpected("does not decode: " + value.error().message());
  for (int n = 0; n < 2; ++n) {
    if (*value == make(n)) return n;
  }
  return Unexpected(std::string("decodes to neither content"));
}

Journal journalContent(int n) {
  Journal journal;
  journal.heartbeat = Date(std::chrono::milliseconds(1'772'373'909'250LL + n));
  journal.batteryPercent = n % 2 ? 7 : 42;
  journal.phase = n % 2 ? Phase::landing : Phase::watch;
  journal.bootSessionUUID = "6F9619FF-8B86-D011-B42D-00C04FC964FF";
  journal.appVersion = padding(n, n % 2 ? 96 * 1024 : 300);
  journal.latestSnapshotID = "20260301T140509.250Z";
  return journal;
}

Kind journalKind(const fs::path& root) {
  auto store = std::make_shared<JournalStore>(BrimwellPaths{root / "journal", root / "rescued"});
  return {"journal", store->url(), ".journal.json.",
          [store](int n) { return store->write(journalContent(n)).has_value(); },
          [store] {
            return whichOf(BrimwellJSON::decode<Journal>(readFile(store->url()).value_or("")),
                           journalContent);
          }};
}

PowerSaverRecord powerSaverContent(int n) {
  if (n % 2) return {true, 0.8125, 0.4, 3};
  return {false, std::nullopt, std::nullopt, 0};
}

Kind powerSaverKind(const fs::path& root) {
  const fs::path file = BrimwellPaths{root / "power", root / "rescued"}.powerSaverRecord();
  return {"power-saver record", file, ".power-saver.json.",
          [file](int n) {
            auto bytes = BrimwellJSON::encode(powerSaverContent(n));
            return bytes && AtomicFile::write(*bytes, file).has_value();
          },
          [file] {
            return whichOf(BrimwellJSON::decode<PowerSaverRecord>(readFile(file).value_or("")),
                           powerSaverContent);
          }};
}

HelperRecord helperContent(int n) {
  if (n % 2) return {25, true};
  return {3, false};
}

Kind helperKind(const fs::path& root) {
  fs::create_directories(root / "helper");
  auto store = std::make_shared<HelperRecordStore>((root / "helper" / "helper-state.json").string(),
                                                   ::getuid());
  return {"helper record", store->path(), ".helper-state.",
          [store](int n) { return store->save(helperContent(n)).has_value(); },
          [store]() -> Expected<int, std::string> {
            // load() reads any trouble as the empty record, which neither content is.
            const HelperRecord record = store->load();
            for (int n = 0; n < 2; ++n) {
              if (record == helperContent(n)) return n;
            }
            return Unexpected(
                std::string(record.isEmpty() ? "loads as no record" : "loads as neither content"));
          }};
}

constexpr Date kCaptured = Date(std::chrono::milliseconds(1'772'373'909'250LL));

Snapshot snapshotContent(int n) {
  Snapshot snapshot;
  snapshot.id = SnapshotID::make(kCaptured);
  snapshot.meta.createdAt = kCaptured;
  snapshot.meta.trigger = n % 2 ? CaptureTrigger::landing : CaptureTrigger::manual;
  snapshot.meta.hostModel = "Laptop14,1";
  const int apps = n % 2 ? 400 : 2;
  for (int i = 0; i < apps; ++i) {
    AppRecord app;
    app.path = "/Applications/App" + std::to_string(i) + ".app";
    app.name = padding(n, 200);
    app.windows = {WindowRecord{.title = "Report", .documentURL = "file:///Users/ann/r.txt"}};
    snapshot.apps.push_back(std::move(app));
  }
  return snapshot;
}

Kind snapshotKind(const fs::path& root) {
  const BrimwellPaths paths{root / "snapshots", root / "rescued"};
  auto writer = std::make_shared<SnapshotStore>(paths);
  auto reader = std::make_shared<SnapshotStore>(paths);
  const std::string id = snapshotContent(0).id;
  return {"snapshot",
          writer->folder() / (id + ".json"),
          "." + id + ".json.",
          [writer](int n) { return writer->save(snapshotContent(n)).has_value(); },
          [reader, id]() -> Expected<int, std::string> {
            // A fresh read each time: load() decodes the file, and would set a damaged one aside.
            const auto loaded = reader->load(id);
            if (!loaded) return Unexpected(std::string("does not load"));
            for (int n = 0; n < 2; ++n) {
              if (*loaded == snapshotContent(n)) return n;
            }
            return Unexpected(std::string("loads as neither content"));
          },
          true};
}

RescuedDocument rescuedContent(int n) {
  return {"com.example.Pages", "Pages", n % 2 ? padding(n, 64 * 1024) : "Untitled",
          "/Users/ann/Documents/Brimwell Rescued/2026-03-01 1405/Untitled.pages"};
}

Kind ledgerKind(const fs::path& root) {
  auto ledger = std::make_shared<RescueLedger>(BrimwellPaths{root / "ledger", root / "rescued"});
  return {"rescue ledger", ledger->url(), ".rescue-ledger.json.",
          // Each record replaces the one entry for the same path, so the ledger holds one entry.
          [ledger](int n) { return ledger->record({rescuedContent(n)}, kCaptured); },
          [ledger]() -> Expected<int, std::string> {
            const auto entries = ledger->entries();
            if (entries.size() != 1 || entries[0].savedAt != kCaptured) {
              return Unexpected("reads as " + std::to_string(entries.size()) + " entries");
            }
            for (int n = 0; n < 2; ++n) {
              if (entries[0].document == rescuedContent(n)) return n;
            }
            return Unexpected(std::string("reads as neither content"));
          }};
}

bool isTemporaryName(const std::string& name, const std::string& prefix) {
  static const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  if (name.size() != prefix.size() + 36 + 4 || name.rfind(prefix, 0) != 0) return false;
  return name.ends_with(".tmp") && std::regex_match(name.substr(prefix.size(), 36), uuid);
}

// Hidden temporary files in the file's directory; a sentence for any other stray entry.
Expected<std::vector<fs::path>, std::string> leftovers(const Kind& kind) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(kind.file.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (entry.path() == kind.file) continue;
    if (!isTemporaryName(name, kind.temporaryPrefix)) return Unexpected("stray entry " + name);
    found.push_back(entry.path());
  }
  return found;
}

// A child process that rewrites the file for ever, counting its writes in `progress`.
pid_t startWriter(const Kind& kind, Progress* progress, int pipeWrite) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const char ready = 'r';
  if (::write(pipeWrite, &ready, 1) != 1) ::_exit(3);
  for (long n = progress->finished.load() + 1;; ++n) {
    progress->started.store(n);
    if (!kind.write(static_cast<int>(n % 2))) ::_exit(2);
    progress->finished.store(n);
  }
}

struct Tally {
  int kills = 0;
  int midWrite = 0;   // kills that landed while a write was in progress
  int leftovers = 0;  // temporary files they left behind
};

// Kills `count` writers of `kind` at random moments up to `window`; a sentence at the first
// failed check.
Expected<Tally, std::string> torture(const Kind& kind, int count, std::chrono::microseconds window,
                                     std::mt19937& random, Progress* progress) {
  Tally tally;
  if (!kind.write(0)) return Unexpected(std::string("the first write failed"));
  progress->started = progress->finished = 0;
  std::uniform_int_distribution<long> delay(0, window.count());
  for (int kill = 0; kill < count; ++kill) {
    int ready[2];
    if (::pipe(ready) != 0) return Unexpected(std::string("pipe failed"));
    const pid_t child = startWriter(kind, progress, ready[1]);
    ::close(ready[1]);
    char byte;
    const bool started = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (started) std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!started || !WIFSIGNALED(status)) {
      return Unexpected("the writer stopped by itself (status " + std::to_string(status) + ")");
    }

    const long finished = progress->finished.load();
    const long begun = progress->started.load();
    auto holds = kind.read();
    if (!holds)
      return Unexpected("after kill " + std::to_string(kill) + " the file " + holds.error());
    const bool current = *holds == finished % 2;
    const bool inProgress = begun != finished && *holds == begun % 2;
    if (!current && !inProgress) {
      return Unexpected("after kill " + std::to_string(kill) + " the file holds write " +
                        std::to_string(*holds) + " of 2, not that of the last finished write");
    }
    // Carry on from what the file holds, so the next writer's first write differs from it.
    progress->started = progress->finished = *holds == finished % 2 ? finished : begun;
    if (begun != finished) ++tally.midWrite;

    auto stray = leftovers(kind);
    if (!stray) return Unexpected("after kill " + std::to_string(kill) + ": " + stray.error());
    if (kind.storeCleansUp) {
      tally.leftovers = static_cast<int>(stray->size());
    } else {
      tally.leftovers += static_cast<int>(stray->size());
      for (const auto& path : *stray) fs::remove(path);
    }
    ++tally.kills;
  }
  return tally;
}

// Ages half the leftovers of the snapshot folder past the store's limit and half not quite, and
// checks that removeLeftoverTempFiles removes exactly the old ones and leaves the snapshot; a
// sentence when it doesn't. The number removed otherwise.
Expected<int, std::string> checkLeftoverCleanup(const Kind& kind, const fs::path& root) {
  SnapshotStore store(BrimwellPaths{root / "snapshots", root / "rescued"});
  auto found = leftovers(kind);
  if (!found) return Unexpected(found.error());
  const Date now =
      std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now());
  if (auto early = store.removeLeftoverTempFiles(now); !early.empty()) {
    return Unexpected("removed " + std::to_string(early.size()) + " fresh temporary files");
  }
  std::vector<std::string> old;
  for (std::size_t i = 0; i < found->size(); ++i) {
    const bool aged = i % 2 == 0;
    const double age =
        aged ? SnapshotStore::leftoverTempAge + 60 : SnapshotStore::leftoverTempAge - 60;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count() -
                         static_cast<long>(age);
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    if (::utimensat(AT_FDCWD, (*found)[i].c_str(), times, 0) != 0) {
      return Unexpected(std::string("utimensat failed"));
    }
    if (aged) old.push_back((*found)[i].filename().string());
  }
  auto removed = store.removeLeftoverTempFiles(now);
  std::sort(removed.begin(), removed.end());
  std::sort(old.begin(), old.end());
  if (removed != old) {
    return Unexpected("removed " + std::to_string(removed.size()) + " of the " +
                      std::to_string(old.size()) + " old temporary files, or others");
  }
  auto rest = leftovers(kind);
  if (!rest || rest->size() != found->size() - old.size()) {
    return Unexpected(std::string("the younger temporary files did not stay"));
  }
  if (!kind.read()) return Unexpected(std::string("the snapshot did not survive the cleanup"));
  return static_cast<int>(removed.size());
}

// The average time of one write of `kind`, so kills spread over whole writes.
std::chrono::microseconds writeDuration(const Kind& kind) {
  const auto start = std::chrono::steady_clock::now();
  constexpr int samples = 20;
  for (int n = 0; n < samples; ++n) kind.write(n);
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start) /
         samples;
}

int run(int argc, char** argv) {
  const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "brimwell-crash";
  const int killsPerKind = argc > 2 ? std::atoi(argv[2]) : 300;
  const unsigned seed =
      argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : std::random_device{}();
  fs::remove_all(root);
  fs::create_directories(root);
  std::mt19937 random(seed);
  std::printf("crash consistency in %s, seed %u\n", root.c_str(), seed);

  void* shared =
      ::mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return 2;
  auto* progress = new (shared) Progress;

  const std::vector<Kind> kinds = {journalKind(root), snapshotKind(root), ledgerKind(root),
                                   powerSaverKind(root), helperKind(root)};
  int total = 0;
  bool failed = false;
  for (const Kind& kind : kinds) {
    const auto window = writeDuration(kind) * 3;
    auto tally = torture(kind, killsPerKind, window, random, progress);
    if (!tally) {
      std::printf("%-20s FAILED: %s\n", kind.name.c_str(), tally.error().c_str());
      failed = true;
      continue;
    }
    total += tally->kills;
    std::printf(
        "%-20s %5d kills survived (%d during a write, %d temporary files left), window %ld us\n",
        kind.name.c_str(), tally->kills, tally->midWrite, tally->leftovers,
        static_cast<long>(window.count()));
    if (kind.storeCleansUp) {
      auto cleaned = checkLeftoverCleanup(kind, root);
      if (!cleaned) {
        std::printf("%-20s FAILED cleanup: %s\n", kind.name.c_str(), cleaned.error().c_str());
        failed = true;
      } else {
        std::printf(
            "%-20s removeLeftoverTempFiles removed the %d older than %.0f s, kept the rest\n",
            kind.name.c_str(), *cleaned, SnapshotStore::leftoverTempAge);
      }
    }
  }
  std::printf("total: %d kills survived\n", total);
  fs::remove_all(root);
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace brimwell

int main(int argc, char** argv) { return brimwell::run(argc, argv); }
