#include "brimwell/core/helper/helper_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

namespace brimwell {
namespace {

// What the stand-in daemon does once it has answered a connection's first request.
enum class AfterReply {
  hangUp,        // ends the connection at once (one request per connection)
  keepServing,   // answers every further line, as the daemon does
  closeUnread,   // waits for the next request and closes without reading it
  readAndClose,  // reads the next request whole and closes without answering
};

// A stand-in daemon: serves connections one at a time, answering each line with `answer(line)`
// (no answer when it returns an empty text) and then doing what `after` says.
class FakeDaemon {
 public:
  explicit FakeDaemon(std::function<std::string(const std::string&)> answer,
                      AfterReply after = AfterReply::keepServing)
      : answer_(std::move(answer)), after_(after) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::listen(fd_, 8), 0);
    thread_ = std::thread([this] {
      for (;;) {
        int connection = ::accept(fd_, nullptr, nullptr);
        if (connection < 0) return;
        {
          std::lock_guard guard(lock);
          ++accepted;
        }
        serve(connection);
        ::close(connection);
        std::lock_guard guard(lock);
        ++closed;
      }
    });
  }
  ~FakeDaemon() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
    std::filesystem::remove(path);
  }

  std::string path = std::filesystem::temp_directory_path() /
                     ("brimwell-client-" + std::to_string(::getpid()) + ".sock");
  std::mutex lock;
  std::vector<std::string> received;
  int accepted = 0;
  int closed = 0;

 private:
  // One line, or empty at the end of the connection.
  std::string readLine(int connection) {
    std::string line;
    char c;
    while (::read(connection, &c, 1) == 1 && c != '\n') line += c;
    if (!line.empty()) {
      std::lock_guard guard(lock);
      received.push_back(line);
    }
    return line;
  }

  void serve(int connection) {
    for (bool first = true;; first = false) {
      if (!first && after_ == AfterReply::closeUnread) {
        pollfd entry{connection, POLLIN, 0};
        ::poll(&entry, 1, 2000);
        return;  // the request stays unread in the socket
      }
      const std::string line = readLine(connection);
      if (line.empty() || (!first && after_ == AfterReply::readAndClose)) return;
      const std::string reply = answer_(line);
      ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
      if (reply.empty() || after_ == AfterReply::hangUp) return;
    }
  }

  std::function<std::string(const std::string&)> answer_;
  AfterReply after_;
  int fd_ = -1;
  std::thread thread_;
};

// Options that accept this test process as the daemon, with short deadlines.
HelperClientOptions optionsFor(const std::string& socket) {
  HelperClientOptions options = HelperClientOptions::defaults();
  options.socketPath = socket;
  options.helper = {canonicalExecutablePath("/proc/self/exe"), ::geteuid(), false, ::geteuid()};
  options.timeout = [](HelperCall) { return 0.3; };
  return options;
}

template <class T, class Operation>
T await(Operation operation) {
  std::promise<T> promise;
  operation([&](T value) { promise.set_value(std::move(value)); });
  return promise.get_future().get();
}

std::string idOf(const std::string& line) {
  auto start = line.find("\"id\":") + 5;
  return line.substr(start, line.find_first_of(",}", start) - start);
}

TEST(HelperClientTest, SendsOneRequestPerCallAndReadsItsReply) {
  FakeDaemon daemon([](const std::string& line) {
    const std::string id = idOf(line);
    if (line.find("lowPowerMode\"") != std::string::npos)
      return "{\"id\":" + id + ",\"on\":true}\n";
    if (line.find("beginLowPowerMode") != std::string::npos) {
      return "{\"id\":" + id + ",\"turnedOn\":false}\n";
    }
    if (line.find("batteryHibernateMode") != std::string::npos) {
      return "{\"id\":" + id + ",\"mode\":25}\n";
    }
    if (line.find("setBatteryHibernateMode") != std::string::npos) {
      return "{\"id\":" + id + ",\"message\":\"Refused: hibernate mode 7 is not 0, 3 or 25\"}\n";
    }
    return "{\"id\":" + id + ",\"version\":2}\n";
  });
  HelperClient client(optionsFor(daemon.path));
  EXPECT_EQ(await<Result<bool>>([&](auto done) { client.lowPowerMode(done); }), Result<bool>(true));
  EXPECT_EQ(await<Result<bool>>([&](auto done) { client.beginLowPowerMode(done); }),
            Result<bool>(false));
  EXPECT_EQ(await<Result<std::int64_t>>([&](auto done) { client.batteryHibernateMode(done); }),
            Result<std::int64_t>(25));
  EXPECT_EQ(await<HelperState>([&](auto done) { client.state(done); }),
            HelperState(helper_state::Ready{}));
  Status refused = await<Status>([&](auto done) { client.setBatteryHibernateMode(7, done); });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message(), "Refused: hibernate mode 7 is not 0, 3 or 25");

  std::lock_guard guard(daemon.lock);
  ASSERT_EQ(daemon.received.size(), 5u);
  EXPECT_EQ(daemon.accepted, 1);
  EXPECT_EQ(daemon.received[4], "{\"id\":" + idOf(daemon.received[4]) +
                                    ",\"mode\":7,\"op\":\"setBatteryHibernateMode\"}");
}

TEST(HelperClientTest, StateTellsAMissingSocketFromASilentOrForeignDaemon) {
  HelperClient missing(optionsFor("/nonexistent/brimwell.sock"));
  EXPECT_EQ(await<HelperState>([&](auto done) { missing.state(done); }),
            HelperState(helper_state::NotInstalled{}));
  Status status = await<Status>([&](auto done) { missing.sleepNow(done); });
  EXPECT_EQ(status.error().message(), "The Brimwell helper is not installed.");

  FakeDaemon silent([](const std::string&) { return std::string(); });
  HelperClient client(optionsFor(silent.path));
  EXPECT_EQ(await<HelperState>([&](auto done) { client.state(done); }),
            HelperState(helper_state::Unreachable{
                "The Brimwell helper closed the connection without answering."}));

  // A daemon that is not the installed helper is never sent a request.
  HelperClientOptions strict = optionsFor(silent.path);
  strict.helper.executable = "/usr/libexec/brimwell/brimwell-helper";
  HelperClient wary(strict);
  status = await<Status>([&](auto done) { wary.sleepNow(done); });
  EXPECT_EQ(status.error().message(),
            "The process answering for the Brimwell helper is not the installed helper (it runs " +
                canonicalExecutablePath("/proc/self/exe") +
                " instead of /usr/libexec/brimwell/brimwell-helper).");
  std::lock_guard guard(silent.lock);
  EXPECT_EQ(silent.received.size(), 1u);  // only the state call above
}

std::string versionReply(const std::string& line) {
  return "{\"id\":" + idOf(line) + ",\"version\":2}\n";
}

// Consecutive calls share one connection. When the daemon closes it between calls the next call
// reconnects; when it closes with the request unread the request goes once more on a fresh
// connection; when it has read the request, the call fails rather than risk doing it twice.
TEST(HelperClientTest, ReusesItsConnectionAndRepeatsOnlyARequestNeverRead) {
  struct Case {
    AfterReply after;
    int accepted;  // connections for the two calls
    int received;  // request lines the daemon read
    Status second;
  };
  const Case cases[] = {
      {AfterReply::keepServing, 1, 2, Status()},
      {AfterReply::hangUp, 2, 2, Status()},
      {AfterReply::closeUnread, 2, 2, Status()},
      {AfterReply::readAndClose, 1, 2,
       fail("The Brimwell helper closed the connection without answering.")},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(static_cast<int>(test.after));
    FakeDaemon daemon(versionReply, test.after);
    HelperClient client(optionsFor(daemon.path));
    EXPECT_EQ(await<Result<std::int64_t>>([&](auto done) { client.helperVersion(done); }),
              Result<std::int64_t>(2));
    if (test.after == AfterReply::hangUp) {
      // The daemon's end of file arrives before the next call, as after its idle exit.
      for (int tries = 0; tries < 200; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::lock_guard guard(daemon.lock);
        if (daemon.closed == 1) break;
      }
    }
    Status second = await<Status>([&](auto done) { client.sleepNow(done); });
    EXPECT_EQ(second, test.second);
    std::lock_guard guard(daemon.lock);
    EXPECT_EQ(daemon.accepted, test.accepted);
    EXPECT_EQ(static_cast<int>(daemon.received.size()), test.received);
  }
}

TEST(HelperClientTest, ACallWithoutAReplyEndsAtItsDeadline) {
  std::promise<void> release;
  auto released = release.get_future().share();
  FakeDaemon stuck([released](const std::string&) {
    released.wait();
    return std::string();
  });
  HelperClient client(optionsFor(stuck.path));
  auto start = std::chrono::steady_clock::now();
  Result<bool> result = await<Result<bool>>([&](auto done) { client.lowPowerMode(done); });
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  release.set_value();
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(), "The Brimwell helper did not answer within 0.3 seconds.");
  EXPECT_GE(took, 0.3);
  EXPECT_LT(took, 1.5);
}

}  // namespace
}  // namespace brimwell
