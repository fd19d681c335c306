#include "linux/capture/pickle_reader.h"

namespace brimwell {
namespace {

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::optional<std::int32_t> int32At(std::string_view bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
  }
  return static_cast<std::int32_t>(value);
}

std::optional<PickleReader> PickleReader::of(std::string_view bytes) {
  const auto declared = int32At(bytes, 0);
  if (!declared) return std::nullopt;
  const auto size = static_cast<std::uint32_t>(*declared);
  if (size > bytes.size() - 4) return std::nullopt;
  return PickleReader(bytes.substr(4, size));
}

std::optional<std::string_view> PickleReader::take(std::size_t count) {
  if (count > payload_.size() - position_) return std::nullopt;
  const auto taken = payload_.substr(position_, count);
  const std::size_t padded = (count + 3) & ~std::size_t{3};
  position_ = padded > payload_.size() - position_ ? payload_.size() : position_ + padded;
  return taken;
}

std::optional<std::int32_t> PickleReader::readInt32() {
  const auto bytes = take(4);
  if (!bytes) return std::nullopt;
  return int32At(*bytes, 0);
}

std::optional<std::string> PickleReader::readString() {
  const auto length = readInt32();
  if (!length || *length < 0) return std::nullopt;
  const auto bytes = take(static_cast<std::size_t>(*length));
  if (!bytes) return std::nullopt;
  return std::string(*bytes);
}

std::optional<std::string> PickleReader::readString16() {
  const auto length = readInt32();
  if (!length || *length < 0 || static_cast<std::size_t>(*length) > payload_.size() / 2) {
    return std::nullopt;
  }
  const auto bytes = take(static_cast<std::size_t>(*length) * 2);
  if (!bytes) return std::nullopt;
  std::string out;
  out.reserve(bytes->size());
  const auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>((*bytes)[2 * i])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>((*bytes)[2 * i + 1])) << 8;
  };
  const std::size_t units = bytes->size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t first = unit(i);
    if (first >= 0xD800 && first < 0xDC00 && i + 1 < units) {
      const std::uint32_t second = unit(i + 1);
      if (second >= 0xDC00 && second < 0xE000) {
        appendUtf8(out, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, first >= 0xD800 && first < 0xE000 ? 0xFFFD : first);
  }
  return out;
}

}  // namespace brimwell
