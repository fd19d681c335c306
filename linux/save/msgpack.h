// A small MessagePack codec for the editor's RPC: values are nil, booleans, integers, floats,
// strings (text and binary alike), arrays, maps and extension values (an editor's buffer, window
// and tab handles). Decoding trusts nothing: every length is checked against the bytes left,
// nesting is at most kMaxDepth deep and a message holds at most kMaxItems values, so a hostile
// peer can cost neither the stack nor more memory than a few times what it sent. Pure;
// callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct MsgValue;
struct MsgEntry;
using MsgArray = std::vector<MsgValue>;
using MsgMap = std::vector<MsgEntry>;

// An extension value: its type and its bytes (for an editor handle, the handle as a MessagePack
// integer).
struct MsgExt {
  std::int8_t type = 0;
  std::string data;
  friend bool operator==(const MsgExt&, const MsgExt&) = default;
};

struct MsgValue {
  // Integers that don't fit an int64 (above 2^63 - 1) are kept as uint64.
  std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, MsgArray,
               MsgMap, MsgExt>
      value;

  bool isNil() const { return std::holds_alternative<std::monostate>(value); }
  const bool* boolean() const { return std::get_if<bool>(&value); }
  const std::int64_t* integer() const { return std::get_if<std::int64_t>(&value); }
  const std::string* string() const { return std::get_if<std::string>(&value); }
  const MsgArray* array() const { return std::get_if<MsgArray>(&value); }
  const MsgExt* ext() const { return std::get_if<MsgExt>(&value); }
  friend bool operator==(const MsgValue&, const MsgValue&) = default;
};

struct MsgEntry {
  MsgValue key;
  MsgValue value;
  friend bool operator==(const MsgEntry&, const MsgEntry&) = default;
};

inline constexpr int kMsgMaxDepth = 32;
inline constexpr std::size_t kMsgMaxItems = 1 << 20;

// `value` in MessagePack's smallest form for each value (strings as str, never bin).
std::string encodeMsg(const MsgValue& value);

struct MsgDecoded {
  MsgValue value;
  std::size_t used = 0;  // the bytes the value took from the front of the input
};

// The value at the front of `bytes`. Incomplete input (a value that goes on past the end) fails
// with code EAGAIN, so a reader knows to wait for more; anything malformed or beyond the bounds
// fails with code EBADMSG.
Result<MsgDecoded> decodeMsg(std::string_view bytes);

}  // namespace brimwell
