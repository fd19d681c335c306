// What the save pass asks of Vim and how it reads the answer. Vim's client-server evaluates one
// expression, so the work is a script the expression sources from a private file: every modified
// buffer that visits a file Vim may write, unchanged on disk since Vim read it, is written in
// place (`:write` in a window showing it, or in a hidden popup for a hidden buffer); every other
// modified buffer of text (unnamed, read-only, unwritable, changed on disk, one that `:write`
// didn't save, an `acwrite` buffer) is copied into the rescue folder as "Vim - NAME" and stays
// modified in Vim. Help, terminal, quickfix and other special buffers are left alone. A file's
// change on disk is found with `:checktime` under a FileChangedShell handler of the script's own,
// so Vim never stops to ask. Pure functions; callable from any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/save/buffer_reports.h"

namespace brimwell {

// `text` as a Vim single-quoted string literal.
std::string vimString(std::string_view text);

// The script that saves and rescues, copies going into `rescueFolder` (created when needed); it
// leaves its report, a JSON array of [kind, buffer, file], in g:brimwell_save_report. Fails for a
// folder whose name holds a line break, which a line of Vim script can't carry.
Result<std::string> vimSaveScript(const std::filesystem::path& rescueFolder);

// The expression that sources the script at `scriptPath` and answers with its report.
std::string vimSaveExpression(std::string_view scriptPath);

// The reports in what `vim --remote-expr` printed for the expression. Fails on anything else.
Result<std::vector<BufferReport>> parseVimSaveAnswer(std::string_view printed);

}  // namespace brimwell
