// A headless Neovim of the test's own, with its home, runtime and temporary directories in
// `dir`, listening at `dir/nvim.sock` (or, without a socket, at the server it starts by itself);
// killed at the end.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace brimwell::testing {

class NvimProcess {
 public:
  NvimProcess(const std::filesystem::path& dir, bool listen)
      : socket_(listen ? (dir / "nvim.sock").string() : "") {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      if (!text.starts_with("HOME=") && !text.starts_with("XDG_") && !text.starts_with("TMPDIR=") &&
          !text.starts_with("NVIM")) {
        environment.emplace_back(text);
      }
    }
    for (const char* name : {"HOME=", "XDG_RUNTIME_DIR=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME=",
                             "XDG_STATE_HOME=", "XDG_CACHE_HOME=", "TMPDIR="}) {
      environment.push_back(name + dir.string());
    }
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {"nvim", "--headless", "--clean", "-n"};
    if (listen) args.insert(args.end(), {"--listen", socket_});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2}) {
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);
    }
    if (::posix_spawnp(&pid_, "nvim", &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && listen && !std::filesystem::exists(socket_) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~NvimProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  NvimProcess(const NvimProcess&) = delete;
  NvimProcess& operator=(const NvimProcess&) = delete;

  bool ready() const { return pid_ > 0 && (socket_.empty() || std::filesystem::exists(socket_)); }
  const std::string& socket() const { return socket_; }
  pid_t pid() const { return pid_; }

 private:
  std::string socket_;
  pid_t pid_ = -1;
};

}  // namespace brimwell::testing
