// What the save pass asks of Emacs and how it reads the answer. The request is one Emacs Lisp form
// for the Emacs server: every modified buffer that visits a file it may write, unchanged on disk
// since it was read, is saved in place; every other modified buffer of text (a file's buffer
// that can't be saved in place, *scratch*, an unnamed draft) is written as a new file into the
// rescue folder. The form answers with its report as Base64 text of a JSON array of
// [kind, buffer name, file] entries, kind being "saved", "rescued" or "failed" (file: the error).
// Pure functions; callable from any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/engine/collaborators.h"
#include "linux/save/buffer_reports.h"

namespace brimwell {

using EmacsBufferReport = BufferReport;

// `text` as an Emacs Lisp string literal.
std::string lispString(std::string_view text);

// The form that saves and rescues, with copies going into `rescueFolder` (created when needed).
std::string emacsSaveForm(const std::filesystem::path& rescueFolder);

// The reports in what emacsclient printed for the form's value. Fails on anything else.
Result<std::vector<EmacsBufferReport>> parseEmacsSaveAnswer(std::string_view printed);

// The pass's output for Emacs from its reports (bufferPassOutput).
SavePassOutput emacsPassOutput(const std::vector<EmacsBufferReport>& reports,
                               const std::string& bundleID, const std::string& appName);

}  // namespace brimwell
