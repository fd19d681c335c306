// The command log Chromium-family browsers keep their sessions in: the bytes "SNSS", a 32-bit
// little-endian version, then commands, each a 16-bit little-endian size (of what follows), an
// 8-bit command id and size - 1 bytes of payload. The browser only ever appends, so a file cut
// mid-write holds whole commands and then part of one: the part is left out. Versions 2 and 4
// are encrypted and refused. Pure; the commands point into the bytes given.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct SnssCommand {
  std::uint8_t id = 0;
  std::string_view payload;
};

struct SnssLog {
  int version = 0;
  std::vector<SnssCommand> commands;  // in file order
  bool cut = false;                   // the file ended inside a command
};

// The commands of an SNSS file. Fails on a missing or foreign header and on a version that is
// encrypted or not known.
Result<SnssLog> splitSnssLog(std::string_view bytes);

}  // namespace brimwell
