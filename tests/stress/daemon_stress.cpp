// The helper daemon under load on its Unix socket: well-behaved clients issue mixed operations
// against the test power tool while hostile clients (garbage, byte-by-byte writers, oversized
// lines, connect-and-vanish, a refused unprivileged peer) do their worst. Checks that every
// request gets exactly one reply with its id, that power tool runs never overlap, that a refused
// peer never runs the tool, that a canary client is served throughout, and that the daemon's
// descriptors and memory don't grow. Prints requests served, latencies, peak descriptors and RSS.
//
// Usage: brimwell_daemon_stress [SECONDS] [CLIENTS]
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "helper/call_authority.h"
#include "tests/helper/daemon_process.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

struct Totals {
  std::atomic<long> served{0};
  std::atomic<long> sleepsDone{0};  // sleepNow requests answered without a message
  std::atomic<long> canaryMisses{0};
  std::atomic<long> hostileRuns{0};
  std::mutex lock;
  std::vector<double> latencies;    // seconds, guarded by lock
  std::vector<std::string> faults;  // guarded by lock

  void fault(const std::string& text) {
    std::lock_guard guard(lock);
    if (faults.size() < 20) faults.push_back(text);
  }
};

const char* const kOperations[] = {
    R"("op":"helperVersion")",
    R"("op":"lowPowerMode")",
    R"("op":"batteryHibernateMode")",
    R"("op":"setLowPowerMode","on":true)",
    R"("op":"setLowPowerMode","on":false)",
    R"("op":"beginLowPowerMode")",
    R"("op":"endLowPowerMode")",
    R"("op":"beginSafeLanding")",
    R"("op":"endSafeLanding")",
    R"("op":"setBatteryHibernateMode","mode":3)",
    R"("op":"setBatteryHibernateMode","mode":25)",
    R"("op":"setBatteryHibernateMode","mode":7)",
    R"("op":"sleepNow")",
};
constexpr int kSleepNow = 12;

// Reads one line from `fd`, keeping what follows it in `pending`; empty at the end or time-out.
std::optional<std::string> readLine(int fd, std::string& pending) {
  for (;;) {
    const auto newline = pending.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending.substr(0, newline);
      pending.erase(0, newline + 1);
      return line;
    }
    char buffer[4096];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0) return std::nullopt;
    pending.append(buffer, static_cast<std::size_t>(count));
  }
}

// A well-behaved client: sessions of a few requests, some sent in one go, each checked for its
// one reply; at the end of a session it half-closes and expects nothing more.
void wellBehaved(const std::string& socket, Clock::time_point until, unsigned seed,
                 Totals& totals) {
  std::mt19937 random(seed);
  long id = static_cast<long>(seed) * 1'000'000;
  while (Clock::now() < until) {
    const int fd = connectTo(socket);
    if (fd < 0) {
      totals.fault("a client could not connect");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    timeval limit{90, 0};  // longer than the longest queue wait
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string pending;
    const int requests = 1 + static_cast<int>(random() % 6);
    for (int sent = 0; sent < requests && Clock::now() < until;) {
      const int batch = std::min(requests - sent, 1 + static_cast<int>(random() % 3));
      std::string text;
      std::vector<std::pair<long, int>> asked;
      for (int i = 0; i < batch; ++i) {
        const int op = static_cast<int>(random() % std::size(kOperations));
        asked.emplace_back(++id, op);
        text += "{\"id\":" + std::to_string(id) + "," + kOperations[op] + "}\n";
      }
      const auto start = Clock::now();
      ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
      for (const auto& [expected, op] : asked) {
        auto line = readLine(fd, pending);
        if (!line) {
          totals.fault("request " + std::to_string(expected) + " got no reply");
          break;
        }
        const std::string prefix = "{\"id\":" + std::to_string(expected);
        if (line->rfind(prefix, 0) != 0 ||
            (line->size() > prefix.size() && (*line)[prefix.size()] != ',' &&
             (*line)[prefix.size()] != '}')) {
          totals.fault("request " + std::to_string(expected) + " got the reply " + *line);
          break;
        }
        if (op == kSleepNow && line->find("\"message\"") == std::string::npos) ++totals.sleepsDone;
        ++totals.served;
        std::lock_guard guard(totals.lock);
        totals.latencies.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      }
      sent += batch;
    }
    ::shutdown(fd, SHUT_WR);
    if (auto extra = readLine(fd, pending); extra || !pending.empty()) {
      totals.fault("a session got a reply nobody asked for: " + extra.value_or(pending));
    }
    ::close(fd);
  }
}

// Asks for the version every 100 ms on one connection; every answer must come within 2 s
// (the client's budget for this call), whatever else is going on.
void canary(const std::string& socket, Clock::time_point until, Totals& totals) {
  const int fd = connectTo(socket);
  timeval limit{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string pending;
  for (long id = 1; Clock::now() < until; ++id) {
    const std::string text = "{\"id\":" + std::to_string(id) + ",\"op\":\"helperVersion\"}\n";
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    auto line = readLine(fd, pending);
    if (!line || line->rfind("{\"id\":" + std::to_string(id) + ",", 0) != 0) {
      ++totals.canaryMisses;
      totals.fault("the canary went unanswered within 2 s");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ::close(fd);
}

// The hostile kinds take turns until the end.
void hostile(const std::string& socket, Clock::time_point until, unsigned seed) {
  std::mt19937 random(seed);
  for (int round = 0; Clock::now() < until; ++round) {
    const int fd = connectTo(socket);
    if (fd < 0) continue;
    timeval limit{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    switch (round % 4) {
      case 0: {  // garbage, some of it with line breaks
        std::string junk(1 + random() % 2048, '\0');
        for (char& c : junk) c = static_cast<char>(random());
        ::send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
        break;
      }
      case 1: {  // a valid request one byte at a time
        const std::string text = R"({"id":1,"op":"batteryHibernateMode"})"
                                 "\n";
        for (char c : text) {
          if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1 || Clock::now() >= until) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        break;
      }
      case 2: {  // an oversized line
        const std::string flood(200 * 1024, 'x');
        ::send(fd, flood.data(), flood.size(), MSG_NOSIGNAL);
        break;
      }
      case 3: {  // asks for a change and vanishes before the reply
        const std::string text = R"({"id":2,"op":"setLowPowerMode","on":true})"
                                 "\n";
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        break;
      }
    }
    if (round % 4 != 3) {
      char buffer[512];
      while (::read(fd, buffer, sizeof buffer) > 0) {
      }
    }
    ::close(fd);
  }
}

// A child that drops to "nobody" and asks for sleep over and over; polkit does not let it change
// anything, so every answer must be the refusal and the tool must never run for it. Returns the
// child.
pid_t refusedPeer(const std::string& socket, const std::string& directory, Clock::time_point until,
                  int reportFd) {
  struct passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr) return -1;
  ::chmod(directory.c_str(), 0755);
  const pid_t child = ::fork();
  if (child != 0) return child;
  if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
      ::setuid(nobody->pw_uid) != 0) {
    ::_exit(1);
  }
  long refusals = 0, other = 0;
  while (Clock::now() < until) {
    const int fd = connectTo(socket);
    if (fd < 0) continue;
    std::string pending;
    const std::string text = R"({"id":9,"op":"sleepNow"})"
                             "\n";
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    auto line = readLine(fd, pending);
    if (line && line->find(refusalSentence(HelperAction::change, {Authorization::Verdict::denied,
                                                                  ""})) != std::string::npos) {
      ++refusals;
    } else {
      ++other;
    }
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::string report = std::to_string(refusals) + " " + std::to_string(other);
  ssize_t ignored = ::write(reportFd, report.data(), report.size());
  (void)ignored;
  ::_exit(0);
}

struct Usage {
  int fds = 0;
  long rssKiB = 0;
};

Usage usageOf(pid_t pid) {
  Usage usage;
  const std::string proc = "/proc/" + std::to_string(pid);
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator(proc + "/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    ++usage.fds;
  }
  std::ifstream status(proc + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) usage.rssKiB = std::stol(line.substr(6));
  }
  return usage;
}

// Start and end lines of the tool's runs must alternate, each end closing the run just started.
std::optional<std::string> overlapIn(const std::vector<std::string>& log, long& runs) {
  std::string open;
  runs = 0;
  for (const std::string& line : log) {
    std::istringstream words(line);
    std::string kind, pid;
    words >> kind >> pid;
    if (kind == "start") {
      if (!open.empty()) return "run " + pid + " started while run " + open + " was going";
      open = pid;
      ++runs;
    } else if (kind == "end") {
      if (open != pid) return "run " + pid + " ended while " + open + " was open";
      open.clear();
    }
  }
  return std::nullopt;
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

int run(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
  const int clients = argc > 2 ? std::atoi(argv[2]) : 200;
  ::signal(SIGPIPE, SIG_IGN);
  // polkit on a private bus, refusing every change to the unprivileged peer.
  testing::PrivateBus bus;
  bus.startMock("polkitd", "org.freedesktop.PolicyKit1");
  bus.mockCall("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority", "SetAllowed",
               "as", 1, "com.tallowgate.brimwell.helper.read");
  DaemonProcess daemon(600);
  daemon.pmset.logRuns();
  const std::string socket = daemon.socketPath();

  // The baseline: the daemon after one served connection, with nothing connected.
  {
    const int fd = connectTo(socket);
    exchangeLine(fd, "{\"id\":0,\"op\":\"lowPowerMode\"}\n");
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  const Usage before = usageOf(daemon.pid);

  Totals totals;
  const auto start = Clock::now();
  const auto until =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  int report[2];
  if (::pipe(report) != 0) return 2;
  const pid_t refused = refusedPeer(socket, daemon.pmset.directory(), until, report[1]);
  ::close(report[1]);

  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back(wellBehaved, socket, until, static_cast<unsigned>(i + 1),
                         std::ref(totals));
  }
  for (int i = 0; i < 4; ++i) threads.emplace_back(hostile, socket, until, 1000u + i);
  threads.emplace_back(canary, socket, until, std::ref(totals));

  // Samples of the daemon's descriptors and memory, twice a second.
  std::vector<std::pair<double, Usage>> samples;
  while (Clock::now() < until) {
    samples.emplace_back(std::chrono::duration<double>(Clock::now() - start).count(),
                         usageOf(daemon.pid));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  for (auto& thread : threads) thread.join();
  std::string refusedReport(64, '\0');
  const ssize_t got = ::read(report[0], refusedReport.data(), refusedReport.size());
  refusedReport.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  ::close(report[0]);
  if (refused > 0) ::waitpid(refused, nullptr, 0);

  // Every connection is closed: the descriptors must be back to the baseline.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const Usage after = usageOf(daemon.pid);

  bool failed = false;
  const auto fail = [&](const std::string& text) {
    std::printf("FAILED: %s\n", text.c_str());
    failed = true;
  };
  for (const auto& fault : totals.faults) fail(fault);
  long runs = 0;
  if (auto overlap = overlapIn(daemon.pmset.log(), runs))
    fail("power tool runs overlap: " + *overlap);
  const long sleeps = std::stol(daemon.pmset.state()["sleeps"]);
  if (sleeps != totals.sleepsDone) {
    fail("the tool slept " + std::to_string(sleeps) + " times for " +
         std::to_string(totals.sleepsDone.load()) + " granted requests");
  }
  long refusals = 0, others = 0;
  std::istringstream(refusedReport) >> refusals >> others;
  if (refusals == 0 || others != 0) {
    fail("the refused peer got " + std::to_string(refusals) + " refusals and " +
         std::to_string(others) + " other answers");
  }
  if (after.fds != before.fds) {
    fail("descriptors went from " + std::to_string(before.fds) + " to " +
         std::to_string(after.fds));
  }
  // Memory: the peak of the last quarter may not exceed that of the second quarter by much.
  long secondQuarter = 0, lastQuarter = 0, peakRss = 0;
  int peakFds = 0;
  for (const auto& [at, usage] : samples) {
    if (at >= seconds / 4 && at < seconds / 2)
      secondQuarter = std::max(secondQuarter, usage.rssKiB);
    if (at >= seconds * 3 / 4) lastQuarter = std::max(lastQuarter, usage.rssKiB);
    peakRss = std::max(peakRss, usage.rssKiB);
    peakFds = std::max(peakFds, usage.fds);
  }
  if (lastQuarter > secondQuarter + 4096) {
    fail("memory grew from " + std::to_string(secondQuarter) + " KiB to " +
         std::to_string(lastQuarter) + " KiB");
  }
  if (daemon.waitExit(0)) fail("the daemon ended during the run");

  std::vector<double> latencies;
  {
    std::lock_guard guard(totals.lock);
    latencies = totals.latencies;
  }
  std::printf("daemon stress: %d clients for %.0f s\n", clients, seconds);
  std::printf("requests served: %ld (%.1f per second), power tool runs: %ld, none overlapping\n",
              totals.served.load(), totals.served.load() / seconds, runs);
  std::printf("latency p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(latencies, 0.5) * 1e3,
              percentile(latencies, 0.99) * 1e3, percentile(latencies, 1.0) * 1e3);
  std::printf("refused peer: %ld refusals, tool runs for it: %ld\n", refusals,
              sleeps - totals.sleepsDone.load());
  std::printf("descriptors: %d before, peak %d, %d after\n", before.fds, peakFds, after.fds);
  std::printf(
      "RSS: %ld KiB before, peak %ld KiB (second quarter %ld, last quarter %ld), %ld after\n",
      before.rssKiB, peakRss, secondQuarter, lastQuarter, after.rssKiB);
  std::printf("%s\n", failed ? "FAILED" : "passed");
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace brimwell

int main(int argc, char** argv) { return brimwell::run(argc, argv); }
