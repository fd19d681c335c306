// SnssWriter: session command logs as a Chromium-family browser writes them ("SNSS", a version,
// then commands of a 16-bit size, an 8-bit id and a payload), for tests of the reader. Fixed
// payloads are little-endian 32-bit fields; a navigation is a pickle (payload size, tab, index,
// URL, UTF-16 title, then the further fields the browser adds, here a page state and a
// transition), every field padded to 4 bytes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace brimwell::testing {

class SnssWriter {
 public:
  explicit SnssWriter(std::int32_t version = 3) : bytes_("SNSS") { int32(bytes_, version); }

  SnssWriter& command(std::uint8_t id, const std::string& payload) {
    const std::size_t size = payload.size() + 1;
    bytes_ += static_cast<char>(size & 0xff);
    bytes_ += static_cast<char>((size >> 8) & 0xff);
    bytes_ += static_cast<char>(id);
    bytes_ += payload;
    return *this;
  }
  SnssWriter& fields(std::uint8_t id, std::initializer_list<std::int32_t> values) {
    std::string payload;
    for (const auto value : values) int32(payload, value);
    return command(id, payload);
  }

  SnssWriter& windowType(std::int32_t window, std::int32_t type) {
    return fields(9, {window, type});
  }
  SnssWriter& tabWindow(std::int32_t window, std::int32_t tab) { return fields(0, {window, tab}); }
  SnssWriter& tabPlace(std::int32_t tab, std::int32_t place) { return fields(2, {tab, place}); }
  SnssWriter& selectedEntry(std::int32_t tab, std::int32_t index) {
    return fields(7, {tab, index});
  }
  SnssWriter& selectedTab(std::int32_t window, std::int32_t place) {
    return fields(8, {window, place});
  }
  SnssWriter& bounds(std::int32_t window, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, std::int32_t showState = 1) {
    return fields(14, {window, x, y, width, height, showState});
  }
  SnssWriter& tabClosed(std::int32_t tab) { return fields(16, {tab, 0, 0, 0}); }
  SnssWriter& windowClosed(std::int32_t window) { return fields(17, {window, 0, 0, 0}); }
  SnssWriter& prunedFromBack(std::int32_t tab, std::int32_t index) {
    return fields(5, {tab, index});
  }
  SnssWriter& prunedFromFront(std::int32_t tab, std::int32_t count) {
    return fields(11, {tab, count});
  }
  SnssWriter& pruned(std::int32_t tab, std::int32_t index, std::int32_t count) {
    return fields(24, {tab, index, count});
  }
  SnssWriter& marker() { return command(255, ""); }

  // An entry of a tab's history; `title` in UTF-16 code units.
  SnssWriter& entry(std::int32_t tab, std::int32_t index, std::string_view url,
                    std::u16string_view title = {}) {
    std::string payload;
    int32(payload, tab);
    int32(payload, index);
    string(payload, url);
    int32(payload, static_cast<std::int32_t>(title.size()));
    for (const char16_t unit : title) {
      payload += static_cast<char>(unit & 0xff);
      payload += static_cast<char>(unit >> 8);
    }
    pad(payload);
    string(payload, "page state");
    int32(payload, 1);
    return command(6, pickle(payload));
  }

  static std::string pickle(const std::string& payload) {
    std::string bytes;
    int32(bytes, static_cast<std::int32_t>(payload.size()));
    return bytes + payload;
  }

  const std::string& bytes() const { return bytes_; }

 private:
  static void int32(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xff);
  }
  static void pad(std::string& out) {
    while (out.size() % 4 != 0) out += '\0';
  }
  static void string(std::string& out, std::string_view text) {
    int32(out, static_cast<std::int32_t>(text.size()));
    out += text;
    pad(out);
  }

  std::string bytes_;
};

}  // namespace brimwell::testing
