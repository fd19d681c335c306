// ClipboardRecord: the clipboard's items, each a map from data type identifier to the bytes of
// that representation, with their total size. In JSON each byte string is padded standard Base64.
// Plain value; safe to hand between threads.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct ClipboardRecord {
  using Bytes = std::vector<std::uint8_t>;
  using Item = std::map<std::string, Bytes>;

  // The ceiling the capturer keeps `totalBytes` under; nothing here truncates or rejects more.
  static constexpr std::int64_t maxBytes = 10'485'760;

  std::vector<Item> items;
  std::int64_t totalBytes = 0;  // as stored; a decoded value is not checked against `items`

  ClipboardRecord() = default;
  // `totalBytes` becomes the sum of the sizes of every representation of every item.
  explicit ClipboardRecord(std::vector<Item> items);

  friend bool operator==(const ClipboardRecord&, const ClipboardRecord&) = default;
};

template <>
struct JsonCoding<ClipboardRecord> {
  static Json write(const ClipboardRecord& value);
  static ClipboardRecord read(const Json& json);
};

}  // namespace brimwell
