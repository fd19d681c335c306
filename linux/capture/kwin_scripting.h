// KwinScripting: runs a script in KWin through its scripting interface on the session bus
// (org.kde.KWin /Scripting: loadScript, then run on the script's object, then unloadScript) and
// takes the one answer the script calls back with. The answer comes to an object this process
// serves on its own connection; only KWin's connection, with this run's token, is heard, and an
// answer larger than the ceiling is refused. Every run is bounded by its timeout; each opens its
// own connection, so nothing is kept between runs. Used from one thread at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "brimwell/core/base/error.h"
#include "linux/capture/kwin_scripts.h"

namespace brimwell {

class KwinScripting {
 public:
  // The text of a script that answers to `reply`, or why there is none.
  using ScriptText = std::function<Result<std::string>(const KwinReplyAddress& reply)>;

  explicit KwinScripting(double timeout = 2, std::size_t ceiling = 8u << 20)
      : timeout_(timeout), ceiling_(ceiling) {}
  // The script's answer, or the sentence saying why there is none.
  Result<std::string> run(const ScriptText& script) const;

 private:
  double timeout_;
  std::size_t ceiling_;
};

}  // namespace brimwell
