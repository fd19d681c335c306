// Cost of going through the helper daemon: a helperVersion round trip through HelperClient against
// the same on a raw socket, and a lowPowerMode call (one run of a trivially fast power tool)
// through the daemon's listener and through HelperClient, against spawning that tool directly and
// reading its output. The ways compared are interleaved in every iteration, and the ratios are
// printed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include "brimwell/core/helper/helper_client.h"
#include "helper/helper_listener.h"
#include "helper/listening_socket.h"
#include "helper/pmset_parser.h"
#include "helper/process_command_runner.h"

extern char** environ;

namespace brimwell {
namespace {

// A daemon listener running in this process on a temporary socket, with a minimal power tool.
// Every call allowed without a question, as for a root peer: the daemon's own cost is measured.
struct Unquestioned : CallAuthority {
  Authorization authorize(const PeerProcess&, HelperAction) override {
    return {Authorization::Verdict::allowed, ""};
  }
};

struct Fixture {
  std::string dir;
  std::string socket;
  std::string pmset;
  std::unique_ptr<HelperListener> listener;
  std::thread thread;

  Fixture() {
    char pattern[] = "/tmp/brimwell-bench-XXXXXX";
    dir = ::mkdtemp(pattern);
    socket = dir + "/helper.sock";
    pmset = dir + "/pmset";
    std::ofstream(pmset) << "#!/bin/sh\necho 'Currently in use:'\necho ' lowpowermode 0'\n";
    std::filesystem::permissions(pmset, std::filesystem::perms(0755));
    auto fd = bindSocket(socket);
    if (!fd) std::abort();
    listener = std::make_unique<HelperListener>(
        *fd, HelperListenerDelegate{
                 [] { return std::make_unique<Unquestioned>(); },
                 std::make_shared<ProcessCommandRunner>(),
                 std::make_shared<HelperRecordStore>(dir + "/state.json", ::geteuid()), 2, nullptr,
                 pmset});
    thread = std::thread([this] { listener->run(); });
  }
  ~Fixture() {
    listener->stop();
    thread.join();
    std::filesystem::remove_all(dir);
  }
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

int connectTo(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) std::abort();
  return fd;
}

std::string roundTrip(int fd, const std::string& request) {
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string reply;
  char buffer[256];
  while (reply.find('\n') == std::string::npos) {
    ssize_t count = ::read(fd, buffer, sizeof(buffer));
    if (count <= 0) std::abort();
    reply.append(buffer, static_cast<std::size_t>(count));
  }
  return reply;
}

// A helperVersion round trip on a raw socket and through HelperClient (its kept connection, a
// worker's hand-over and the completion), interleaved in every iteration.
void HelperVersionSideBySide(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  int fd = connectTo(fixture().socket);
  HelperClientOptions options = HelperClientOptions::defaults();
  options.socketPath = fixture().socket;
  options.helper = {canonicalExecutablePath("/proc/self/exe"), ::geteuid(), false, ::geteuid()};
  HelperClient client(options);
  double socket = 0, viaClient = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    benchmark::DoNotOptimize(roundTrip(fd, "{\"id\":1,\"op\":\"helperVersion\"}\n"));
    auto answered = Clock::now();
    std::promise<Result<std::int64_t>> done;
    client.helperVersion([&](Result<std::int64_t> version) { done.set_value(version); });
    if (!done.get_future().get()) state.SkipWithError("client failed");
    auto finished = Clock::now();
    socket += std::chrono::duration<double>(answered - start).count();
    viaClient += std::chrono::duration<double>(finished - answered).count();
  }
  ::close(fd);
  const double n = static_cast<double>(state.iterations());
  state.counters["version_socket_us"] = socket / n * 1e6;
  state.counters["version_client_us"] = viaClient / n * 1e6;
  state.counters["version_ratio"] = viaClient / socket;
}

// The baseline: spawn the tool, read its output, wait for it, parse it.
bool spawnToolDirectly(const std::string& tool) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>("-g"), nullptr};
  pid_t pid = 0;
  int spawned = ::posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t count; (count = ::read(out[0], buffer, sizeof(buffer))) > 0;) {
    text.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(out[0]);
  if (spawned != 0) return false;
  ::waitpid(pid, nullptr, 0);
  return PmsetParser::lowPowerMode(text) == false;
}

// The three ways of learning Low Power Mode, interleaved in every iteration so that all of them
// see the same machine load; each one's mean time is reported as a counter.
void LowPowerModeSideBySide(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  int fd = connectTo(fixture().socket);
  HelperClientOptions options = HelperClientOptions::defaults();
  options.socketPath = fixture().socket;
  options.helper = {canonicalExecutablePath("/proc/self/exe"), ::geteuid(), false, ::geteuid()};
  HelperClient client(options);
  double direct = 0, socket = 0, viaClient = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    if (!spawnToolDirectly(fixture().pmset)) state.SkipWithError("direct spawn failed");
    auto spawned = Clock::now();
    if (roundTrip(fd, "{\"id\":1,\"op\":\"lowPowerMode\"}\n") != "{\"id\":1,\"on\":false}\n") {
      state.SkipWithError("unexpected reply");
    }
    auto answered = Clock::now();
    std::promise<Result<bool>> done;
    client.lowPowerMode([&](Result<bool> on) { done.set_value(on); });
    if (done.get_future().get() != Result<bool>(false)) state.SkipWithError("client failed");
    auto finished = Clock::now();
    direct += std::chrono::duration<double>(spawned - start).count();
    socket += std::chrono::duration<double>(answered - spawned).count();
    viaClient += std::chrono::duration<double>(finished - answered).count();
  }
  ::close(fd);
  const double n = static_cast<double>(state.iterations());
  state.counters["direct_ms"] = direct / n * 1e3;
  state.counters["socket_ms"] = socket / n * 1e3;
  state.counters["client_ms"] = viaClient / n * 1e3;
  state.counters["socket_ratio"] = socket / direct;
  state.counters["client_ratio"] = viaClient / direct;
}

BENCHMARK(HelperVersionSideBySide)->UseRealTime()->MinTime(1);
BENCHMARK(LowPowerModeSideBySide)->UseRealTime()->MinTime(2);

// Keeps each benchmark's real time per iteration so the ratios can be printed at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> nanoseconds;
  std::map<std::string, double> counters;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        nanoseconds[run.benchmark_name()] =
            run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
        for (const auto& [name, counter] : run.counters) counters[name] = counter.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace
}  // namespace brimwell

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brimwell::RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& counters = reporter.counters;
  std::printf("helperVersion: raw socket %.1f us, HelperClient %.1f us, ratio %.2fx\n",
              counters["version_socket_us"], counters["version_client_us"],
              counters["version_ratio"]);
  std::printf("lowPowerMode: direct spawn %.2f ms, daemon socket %.2f ms, HelperClient %.2f ms\n",
              counters["direct_ms"], counters["socket_ms"], counters["client_ms"]);
  std::printf("overhead ratio, daemon socket / direct spawn: %.2fx (target <= 1.15x)\n",
              counters["socket_ratio"]);
  std::printf("overhead ratio, HelperClient / direct spawn: %.2fx (target <= 1.15x)\n",
              counters["client_ratio"]);
  benchmark::Shutdown();
  return 0;
}
