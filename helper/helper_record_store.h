// HelperRecordStore: keeps the HelperRecord in one small file. Reads trust only a regular file of
// the expected owner with no group or other permissions, in a directory of that owner that nobody
// else may write, judged on the opened descriptors; writes replace the file atomically and durably
// (file and directory flushed) and the empty record deletes it. No lock of its own: callers
// serialise all use (the daemon runs every operation that touches it on its one command queue).
#pragma once

#include <sys/types.h>

#include <string>

#include "brimwell/core/base/expected.h"
#include "helper/helper_record.h"

namespace brimwell {

// A failed save: the failing step and the system error number, e.g. "open: 13".
struct HelperRecordError {
  std::string couldNotWrite;
  // `couldNotWrite("open: 13")`.
  std::string describe() const { return "couldNotWrite(\"" + couldNotWrite + "\")"; }
  friend bool operator==(const HelperRecordError&, const HelperRecordError&) = default;
};

class HelperRecordStore {
 public:
  // `path`: the record file. `owner`: the user that must own it for it to be trusted.
  HelperRecordStore(std::string path, uid_t owner);

  // The stored record; the empty record for a missing, untrusted or undecodable file.
  HelperRecord load() const;

  // Replaces the stored record; a failure leaves the previous file untouched.
  Expected<void, HelperRecordError> save(const HelperRecord& record) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  uid_t owner_;
};

}  // namespace brimwell
