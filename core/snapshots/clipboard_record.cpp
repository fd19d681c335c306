#include "brimwell/core/snapshots/clipboard_record.h"

#include "brimwell/core/storage/base64.h"

namespace brimwell {

ClipboardRecord::ClipboardRecord(std::vector<Item> items) : items(std::move(items)) {
  for (const auto& item : this->items) {
    for (const auto& [type, bytes] : item) totalBytes += static_cast<std::int64_t>(bytes.size());
  }
}

Json JsonCoding<ClipboardRecord>::write(const ClipboardRecord& value) {
  Json items = Json::array();
  for (const auto& item : value.items) {
    Json object = Json::object();
    for (const auto& [type, bytes] : item) object[type] = Base64::encode(bytes);
    items.push_back(std::move(object));
  }
  Json record = JsonObjectWriter().put("totalBytes", value.totalBytes).take();
  record["items"] = std::move(items);
  return record;
}

ClipboardRecord JsonCoding<ClipboardRecord>::read(const Json& json) {
  const JsonObjectReader reader(json);
  const Json* items = reader.find("items");
  if (items == nullptr) throw JsonCodingError("The key \"items\" is missing.");
  if (!items->is_array()) throwTypeMismatch("an array", *items);

  ClipboardRecord record;
  record.items.reserve(items->size());
  for (const Json& item : *items) {
    if (!item.is_object()) throwTypeMismatch("an object", item);
    ClipboardRecord::Item decoded;
    for (const auto& [type, text] : item.items()) {
      if (!text.is_string()) throwTypeMismatch("a Base64 string", text);
      auto bytes = Base64::decode(text.get_ref<const std::string&>());
      if (!bytes) throw JsonCodingError("The clipboard data for \"" + type + "\" is not Base64.");
      decoded.emplace(type, std::move(*bytes));
    }
    record.items.push_back(std::move(decoded));
  }
  record.totalBytes = reader.required<std::int64_t>("totalBytes");
  return record;
}

}  // namespace brimwell
