// ProcessTable: what the capturer reads about processes: the list with parents and owners, and
// per process its executable, environment, working directory and open files. The /proc one reads
// a proc tree (the real one by default); tests give a tree of their own or inject failures.
// Every answer is what could be read: a vanished or foreign process reads as nothing.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brimwell {

struct ProcessEntry {
  int pid = 0;
  int parent = 0;
  uid_t owner = 0;
  std::string command;  // the kernel's short command name
  friend bool operator==(const ProcessEntry&, const ProcessEntry&) = default;
};

class ProcessTable {
 public:
  virtual ~ProcessTable() = default;
  virtual std::vector<ProcessEntry> processes() = 0;
  virtual std::optional<std::string> executable(int pid) = 0;
  virtual std::optional<std::string> environmentValue(int pid, std::string_view name) = 0;
  virtual std::optional<std::string> workingDirectory(int pid) = 0;
  // Absolute paths of the regular files the process holds open, without repeats.
  virtual std::vector<std::string> openFiles(int pid) = 0;
};

class ProcProcessTable final : public ProcessTable {
 public:
  explicit ProcProcessTable(std::filesystem::path root = "/proc") : root_(std::move(root)) {}
  std::vector<ProcessEntry> processes() override;
  std::optional<std::string> executable(int pid) override;
  std::optional<std::string> environmentValue(int pid, std::string_view name) override;
  std::optional<std::string> workingDirectory(int pid) override;
  std::vector<std::string> openFiles(int pid) override;

 private:
  std::filesystem::path root_;
};

// The short command name and parent pid of a /proc/PID/stat line, or nothing when it is
// malformed. Pure.
std::optional<ProcessEntry> parseProcStat(std::string_view stat);

}  // namespace brimwell
