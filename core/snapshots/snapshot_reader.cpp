#include "brimwell/core/snapshots/snapshot_reader.h"

#include <simdjson.h>

#include <cstring>
#include <optional>
#include <string>

#include "brimwell/core/storage/base64.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell::SnapshotReader {
namespace {

namespace od = simdjson::ondemand;

static_assert(simdjson::SIMDJSON_PADDING <= padding);

// Where the clipboard's value lies in the text, and what it holds.
struct ClipboardSpan {
  std::size_t begin = 0, end = 0;
  ClipboardRecord clipboard;
};

bool isJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The bytes of one Base64 string value, read from the text itself when it holds no escapes.
std::optional<ClipboardRecord::Bytes> readBytes(od::value value) {
  std::string_view token = value.raw_json_token();
  while (!token.empty() && isJsonSpace(token.back())) token.remove_suffix(1);
  if (token.size() < 2 || token.front() != '"' || token.back() != '"') return std::nullopt;
  token = token.substr(1, token.size() - 2);
  if (std::memchr(token.data(), '\\', token.size()) == nullptr) return Base64::decode(token);
  std::string_view unescaped;
  if (value.get_string().get(unescaped) != simdjson::SUCCESS) return std::nullopt;
  return Base64::decode(unescaped);
}

// The clipboard object read strictly, or nothing for anything the fast path doesn't take on
// (an unknown or repeated key, a wrong type, text that isn't Base64).
std::optional<ClipboardRecord> readClipboard(od::value value) {
  od::object object;
  if (value.get_object().get(object) != simdjson::SUCCESS) return std::nullopt;
  ClipboardRecord record;
  bool hasItems = false, hasTotal = false;
  for (auto entry : object) {
    od::field field;
    std::string_view key;
    if (std::move(entry).get(field) != simdjson::SUCCESS || field.unescaped_key().get(key))
      return std::nullopt;
    if (key == "items" && !hasItems) {
      hasItems = true;
      od::array items;
      if (field.value().get_array().get(items) != simdjson::SUCCESS) return std::nullopt;
      for (auto element : items) {
        od::object item;
        if (std::move(element).get_object().get(item) != simdjson::SUCCESS) return std::nullopt;
        ClipboardRecord::Item decoded;
        for (auto representation : item) {
          od::field typeField;
          std::string_view type;
          if (std::move(representation).get(typeField) != simdjson::SUCCESS ||
              typeField.unescaped_key().get(type) != simdjson::SUCCESS) {
            return std::nullopt;
          }
          std::string typeName(type);
          auto bytes = readBytes(typeField.value());
          if (!bytes) return std::nullopt;
          decoded.insert_or_assign(std::move(typeName), std::move(*bytes));  // the last one wins
        }
        record.items.push_back(std::move(decoded));
      }
    } else if (key == "totalBytes" && !hasTotal) {
      hasTotal = true;
      if (field.value().get_int64().get(record.totalBytes) != simdjson::SUCCESS) {
        return std::nullopt;
      }
    } else {
      return std::nullopt;
    }
  }
  if (!hasItems || !hasTotal) return std::nullopt;
  return record;
}

// Finds and reads the one top-level clipboard object; nothing when there is none or the fast
// path doesn't take it on.
std::optional<ClipboardSpan> findClipboard(std::string_view text, std::size_t allocated) {
  thread_local od::parser parser;  // keeps its buffers between files on this thread
  od::document document;
  if (parser.iterate(text.data(), text.size(), allocated).get(document) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  od::object top;
  if (document.get_object().get(top) != simdjson::SUCCESS) return std::nullopt;
  std::optional<ClipboardSpan> span;
  for (auto entry : top) {
    od::field field;
    std::string_view key;
    if (std::move(entry).get(field) != simdjson::SUCCESS || field.unescaped_key().get(key))
      return std::nullopt;
    if (key != "clipboard") continue;
    if (span) return std::nullopt;  // a repeated key: the shared decoder decides
    od::value value = field.value();
    const char* begin = nullptr;
    if (value.current_location().get(begin) != simdjson::SUCCESS || *begin != '{') {
      return std::nullopt;
    }
    auto clipboard = readClipboard(value);
    const char* end = nullptr;
    if (!clipboard || document.current_location().get(end) != simdjson::SUCCESS) {
      return std::nullopt;
    }
    span = ClipboardSpan{static_cast<std::size_t>(begin - text.data()),
                         static_cast<std::size_t>(end - text.data()), std::move(*clipboard)};
  }
  return span;
}

}  // namespace

Result<Snapshot> decode(std::string_view text, std::size_t allocated) {
  if (allocated < text.size() + simdjson::SIMDJSON_PADDING) {
    return BrimwellJSON::decode<Snapshot>(text);
  }
  std::optional<ClipboardSpan> span;
  try {
    span = findClipboard(text, allocated);
  } catch (const std::exception&) {  // allocation failures inside the parser
    span.reset();
  }
  if (!span) return BrimwellJSON::decode<Snapshot>(text);

  // The rest of the document, with the clipboard's value replaced by null, goes through the
  // shared decoder, which checks all of it.
  std::string rest;
  rest.reserve(text.size() - (span->end - span->begin) + 4);
  rest.append(text.substr(0, span->begin)).append("null").append(text.substr(span->end));
  auto snapshot = BrimwellJSON::decode<Snapshot>(rest);
  // The rest's error would name positions in the shortened text: report the whole file's.
  if (!snapshot) return BrimwellJSON::decode<Snapshot>(text);
  snapshot->clipboard = std::move(span->clipboard);
  return snapshot;
}

}  // namespace brimwell::SnapshotReader
