// What an editor's save pass did with each modified buffer, and the pass's output for that
// editor from those reports. Shared by the editors asked through their servers (Emacs, Neovim).
// Pure functions; callable from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/engine/collaborators.h"

namespace brimwell {

struct BufferReport {
  enum class Kind { saved, rescued, failed };
  Kind kind = Kind::failed;
  std::string buffer;
  std::string file;  // the saved file, the rescue copy, or the error's text
  friend bool operator==(const BufferReport&, const BufferReport&) = default;
};

// The reports in `json`, an array of [kind, buffer, file] string triples, kind being "saved",
// "rescued" or "failed" (file: the error). Fails, naming `editor`, on anything else.
Result<std::vector<BufferReport>> parseBufferReports(std::string_view json,
                                                     const std::string& editor);

// nothingToSave without reports, failed when every buffer failed, saved otherwise (with the
// counts, and a note naming `editor` when some buffers failed); one RescuedDocument per rescued
// buffer.
SavePassOutput bufferPassOutput(const std::vector<BufferReport>& reports,
                                const std::string& bundleID, const std::string& appName,
                                const std::string& editor);

}  // namespace brimwell
