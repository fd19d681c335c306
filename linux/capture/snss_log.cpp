#include "linux/capture/snss_log.h"

#include "linux/capture/pickle_reader.h"

namespace brimwell {

Result<SnssLog> splitSnssLog(std::string_view bytes) {
  if (bytes.size() < 8 || bytes.substr(0, 4) != "SNSS") {
    return fail("The session file doesn't start with the browser's session header.");
  }
  const auto version = int32At(bytes, 4).value_or(0);
  if (version == 2 || version == 4) {
    return fail("The session file is encrypted, so Brimwell can't read it.");
  }
  if (version != 1 && version != 3) {
    return fail("The session file is of version " + std::to_string(version) +
                ", which Brimwell doesn't know.");
  }
  SnssLog log{.version = version};
  std::size_t position = 8;
  while (position < bytes.size()) {
    if (bytes.size() - position < 2) {
      log.cut = true;
      break;
    }
    const std::size_t size =
        static_cast<unsigned char>(bytes[position]) |
        static_cast<std::size_t>(static_cast<unsigned char>(bytes[position + 1])) << 8;
    // A command holds at least its id; a zero size is never written, so what follows is damage.
    if (size == 0 || size > bytes.size() - position - 2) {
      log.cut = true;
      break;
    }
    log.commands.push_back({.id = static_cast<std::uint8_t>(bytes[position + 2]),
                            .payload = bytes.substr(position + 3, size - 1)});
    position += 2 + size;
  }
  return log;
}

}  // namespace brimwell
