// Error: a failure told as one plain sentence, with the system error number when one caused it.
// Result<T> and Status are the code base's one way of reporting failures that callers handle.
#pragma once

#include <string>

#include "brimwell/core/base/expected.h"

namespace brimwell {

class Error {
 public:
  explicit Error(std::string message, int code = 0) : message_(std::move(message)), code_(code) {}

  // The failure of a system call: the message is the system's text for `errnum`, and an error
  // number the system doesn't know becomes EIO.
  static Error posix(int errnum);

  const std::string& message() const { return message_; }
  // The POSIX error number, or 0 when the failure has none.
  int code() const { return code_; }

  friend bool operator==(const Error&, const Error&) = default;

 private:
  std::string message_;
  int code_;
};

template <class T>
using Result = Expected<T, Error>;
using Status = Expected<void, Error>;

inline Unexpected<Error> fail(std::string message, int code = 0) {
  return Unexpected(Error(std::move(message), code));
}
inline Unexpected<Error> failPosix(int errnum) { return Unexpected(Error::posix(errnum)); }

}  // namespace brimwell
