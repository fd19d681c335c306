#include "brimwell/core/base/error.h"

#include <cerrno>
#include <cstring>

namespace brimwell {

Error Error::posix(int errnum) {
  const char* text = errnum > 0 ? ::strerrordesc_np(errnum) : nullptr;
  if (text == nullptr) {
    errnum = EIO;
    text = ::strerrordesc_np(EIO);
  }
  return Error(text, errnum);
}

}  // namespace brimwell
