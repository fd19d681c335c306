// Serving a recorded clipboard on X11: the helper process that owns the CLIPBOARD selection with
// every recorded target, and the hand-over that starts it. The selection lives only as long as
// its owner, so the server runs detached from the restore and ends when another client takes the
// selection or the display goes away.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/clipboard_record.h"
#include "linux/restore/programs.h"

namespace brimwell {

// Owns CLIPBOARD on `display` (empty: $DISPLAY) with the first item of `record`, answering
// TARGETS, TIMESTAMP and each of the item's targets (a representation larger than one request
// can carry is refused), until it loses the selection. Once it owns the selection it writes
// "ready" and a newline to `readyFd` and closes it; a failure before that is the sentence
// returned (the caller writes it there instead).
Status serveClipboard(const std::string& display, const ClipboardRecord& record, int readyFd);

// The reading side of the server: the record its standard input carries as JSON (at most
// `maxBytes` of text), or the sentence saying why there is none.
Result<ClipboardRecord> readClipboardRequest(int fd, std::size_t maxBytes);

// Starts `serverCommand` detached (own session, no inherited descriptors), hands it `record` as
// JSON on its standard input and waits at most `timeout` seconds for its "ready" line; fails with
// the sentence the server printed instead, or says it didn't answer in time (the server is then
// killed).
Status handClipboardToServer(const std::vector<std::string>& serverCommand,
                             const ClipboardRecord& record, double timeout);

}  // namespace brimwell
