// Konsole's own account of its windows, over its interface on the session bus: the service
// `org.kde.konsole-PID` (or `org.kde.konsole`, when it runs every window in one process), only
// when the bus says that process owns it; `/Windows/N` (org.kde.konsole.Window) names each
// window's sessions in tab order, `/Sessions/N` (org.kde.konsole.Session) each tab's shell and
// title, and `/konsole/MainWindow_N` (org.kde.KMainWindow) window N's X id and title. Its
// processes alone can't tell which shell is in which of a process's windows. Every call is
// bounded; every reply is checked, and lists are cut at their limits.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

inline constexpr std::size_t kMaxKonsoleWindows = 64;
inline constexpr std::size_t kMaxKonsoleTabs = 256;  // in one window
inline constexpr std::size_t kMaxKonsoleTitle = 4096;

struct KonsoleTab {
  int shellPid = 0;
  std::string title;  // as its tab shows it
  friend bool operator==(const KonsoleTab&, const KonsoleTab&) = default;
};

struct KonsoleWindow {
  std::optional<std::uint64_t> platformWindowId;  // its X window id under X11
  std::string title;
  std::vector<KonsoleTab> tabs;
  friend bool operator==(const KonsoleWindow&, const KonsoleWindow&) = default;
};

// The numbers N of the child nodes named `prefix` + N in an Introspect reply, in the reply's
// order, at most `limit` of them. Pure.
std::vector<int> numberedNodes(std::string_view xml, std::string_view prefix, std::size_t limit);

class KonsoleSource {
 public:
  virtual ~KonsoleSource() = default;
  // The windows of the Konsole process `pid`, in the order Konsole made them.
  virtual Result<std::vector<KonsoleWindow>> windows(int pid) = 0;
};

class KonsoleBusSource final : public KonsoleSource {
 public:
  explicit KonsoleBusSource(std::chrono::milliseconds limit = std::chrono::seconds(1))
      : limit_(limit) {}
  Result<std::vector<KonsoleWindow>> windows(int pid) override;

 private:
  std::chrono::milliseconds limit_;
};

}  // namespace brimwell
