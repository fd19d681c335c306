#include "linux/save/msgpack.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>

namespace brimwell {
namespace {

void putBigEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putHeader(std::string& out, std::size_t length, unsigned char fix, unsigned fixLimit,
               unsigned char first16) {
  if (length < fixLimit) {
    out += static_cast<char>(fix | length);
  } else if (length <= 0xFFFF) {
    out += static_cast<char>(first16);
    putBigEndian(out, length, 2);
  } else {
    out += static_cast<char>(first16 + 1);
    putBigEndian(out, length, 4);
  }
}

void encodeInto(std::string& out, const MsgValue& value);

struct Encoder {
  std::string& out;
  void operator()(std::monostate) { out += '\xC0'; }
  void operator()(bool b) { out += b ? '\xC3' : '\xC2'; }
  void operator()(std::int64_t n) {
    if (n >= 0) return (*this)(static_cast<std::uint64_t>(n));
    if (n >= -32) {
      out += static_cast<char>(n);
    } else if (n >= INT8_MIN) {
      out += '\xD0';
      putBigEndian(out, static_cast<std::uint8_t>(n), 1);
    } else if (n >= INT16_MIN) {
      out += '\xD1';
      putBigEndian(out, static_cast<std::uint16_t>(n), 2);
    } else if (n >= INT32_MIN) {
      out += '\xD2';
      putBigEndian(out, static_cast<std::uint32_t>(n), 4);
    } else {
      out += '\xD3';
      putBigEndian(out, static_cast<std::uint64_t>(n), 8);
    }
  }
  void operator()(std::uint64_t n) {
    if (n < 0x80) {
      out += static_cast<char>(n);
    } else if (n <= 0xFF) {
      out += '\xCC';
      putBigEndian(out, n, 1);
    } else if (n <= 0xFFFF) {
      out += '\xCD';
      putBigEndian(out, n, 2);
    } else if (n <= 0xFFFFFFFF) {
      out += '\xCE';
      putBigEndian(out, n, 4);
    } else {
      out += '\xCF';
      putBigEndian(out, n, 8);
    }
  }
  void operator()(double d) {
    out += '\xCB';
    putBigEndian(out, std::bit_cast<std::uint64_t>(d), 8);
  }
  void operator()(const std::string& s) {
    if (s.size() < 32) {
      out += static_cast<char>(0xA0 | s.size());
    } else if (s.size() <= 0xFF) {
      out += '\xD9';
      putBigEndian(out, s.size(), 1);
    } else {
      putHeader(out, s.size(), 0, 0, 0xDA);
    }
    out += s;
  }
  void operator()(const MsgArray& items) {
    putHeader(out, items.size(), 0x90, 16, 0xDC);
    for (const auto& item : items) encodeInto(out, item);
  }
  void operator()(const MsgMap& entries) {
    putHeader(out, entries.size(), 0x80, 16, 0xDE);
    for (const auto& [key, item] : entries) {
      encodeInto(out, key);
      encodeInto(out, item);
    }
  }
  void operator()(const MsgExt& ext) {
    const auto size = ext.data.size();
    if (size == 1) {
      out += '\xD4';
    } else if (size == 2) {
      out += '\xD5';
    } else if (size == 4) {
      out += '\xD6';
    } else if (size == 8) {
      out += '\xD7';
    } else if (size == 16) {
      out += '\xD8';
    } else if (size <= 0xFF) {
      out += '\xC7';
      putBigEndian(out, size, 1);
    } else if (size <= 0xFFFF) {
      out += '\xC8';
      putBigEndian(out, size, 2);
    } else {
      out += '\xC9';
      putBigEndian(out, size, 4);
    }
    out += static_cast<char>(ext.type);
    out += ext.data;
  }
};

void encodeInto(std::string& out, const MsgValue& value) { std::visit(Encoder{out}, value.value); }

// A failure while decoding: incomplete input or a malformed value.
struct Stop {
  int code;
};

class Decoder {
 public:
  explicit Decoder(std::string_view bytes) : bytes_(bytes) {}

  MsgValue value(int depth) {
    if (depth > kMsgMaxDepth) throw Stop{EBADMSG};
    if (++items_ > kMsgMaxItems) throw Stop{EBADMSG};
    const auto first = byte();
    if (first <= 0x7F) return {static_cast<std::int64_t>(first)};
    if (first >= 0xE0) return {static_cast<std::int64_t>(static_cast<std::int8_t>(first))};
    if ((first & 0xF0) == 0x80) return map(first & 0x0F, depth);
    if ((first & 0xF0) == 0x90) return array(first & 0x0F, depth);
    if ((first & 0xE0) == 0xA0) return {text(first & 0x1F)};
    switch (first) {
      case 0xC0:
        return {};
      case 0xC2:
        return {false};
      case 0xC3:
        return {true};
      case 0xC4:
      case 0xD9:
        return {text(number(1))};
      case 0xC5:
      case 0xDA:
        return {text(number(2))};
      case 0xC6:
      case 0xDB:
        return {text(number(4))};
      case 0xC7:
        return ext(number(1));
      case 0xC8:
        return ext(number(2));
      case 0xC9:
        return ext(number(4));
      case 0xCA:
        return {static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(number(4))))};
      case 0xCB:
        return {std::bit_cast<double>(number(8))};
      case 0xCC:
        return unsignedValue(number(1));
      case 0xCD:
        return unsignedValue(number(2));
      case 0xCE:
        return unsignedValue(number(4));
      case 0xCF:
        return unsignedValue(number(8));
      case 0xD0:
        return {static_cast<std::int64_t>(static_cast<std::int8_t>(number(1)))};
      case 0xD1:
        return {static_cast<std::int64_t>(static_cast<std::int16_t>(number(2)))};
      case 0xD2:
        return {static_cast<std::int64_t>(static_cast<std::int32_t>(number(4)))};
      case 0xD3:
        return {static_cast<std::int64_t>(number(8))};
      case 0xD4:
        return ext(1);
      case 0xD5:
        return ext(2);
      case 0xD6:
        return ext(4);
      case 0xD7:
        return ext(8);
      case 0xD8:
        return ext(16);
      case 0xDC:
        return array(number(2), depth);
      case 0xDD:
        return array(number(4), depth);
      case 0xDE:
        return map(number(2), depth);
      case 0xDF:
        return map(number(4), depth);
      default:
        throw Stop{EBADMSG};  // 0xC1 is never used
    }
  }

  std::size_t used() const { return at_; }

 private:
  void need(std::uint64_t count) const {
    if (count > bytes_.size() - at_) throw Stop{EAGAIN};
  }
  std::uint8_t byte() {
    need(1);
    return static_cast<std::uint8_t>(bytes_[at_++]);
  }
  std::uint64_t number(int size) {
    need(size);
    std::uint64_t n = 0;
    for (int i = 0; i < size; ++i) n = (n << 8) | static_cast<std::uint8_t>(bytes_[at_++]);
    return n;
  }
  std::string text(std::uint64_t length) {
    need(length);
    std::string s(bytes_.substr(at_, length));
    at_ += length;
    return s;
  }
  static MsgValue unsignedValue(std::uint64_t n) {
    if (n <= static_cast<std::uint64_t>(INT64_MAX)) return {static_cast<std::int64_t>(n)};
    return {n};
  }
  MsgValue ext(std::uint64_t length) {
    const auto type = static_cast<std::int8_t>(byte());
    return {MsgExt{.type = type, .data = text(length)}};
  }
  // Every element takes at least one byte, so a count beyond what is left is cut short before
  // anything is reserved for it.
  MsgValue array(std::uint64_t count, int depth) {
    need(count);
    MsgArray items;
    items.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) items.push_back(value(depth + 1));
    return {std::move(items)};
  }
  MsgValue map(std::uint64_t count, int depth) {
    need(count);
    MsgMap entries;
    entries.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
      auto key = value(depth + 1);
      entries.push_back({std::move(key), value(depth + 1)});
    }
    return {std::move(entries)};
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
  std::size_t items_ = 0;
};

}  // namespace

std::string encodeMsg(const MsgValue& value) {
  std::string out;
  encodeInto(out, value);
  return out;
}

Result<MsgDecoded> decodeMsg(std::string_view bytes) {
  Decoder decoder(bytes);
  try {
    auto value = decoder.value(0);
    return MsgDecoded{.value = std::move(value), .used = decoder.used()};
  } catch (const Stop& stop) {
    if (stop.code == EAGAIN) return fail("The message goes on past the bytes read.", EAGAIN);
    return fail("The message isn't MessagePack Brimwell can read.", EBADMSG);
  }
}

}  // namespace brimwell
