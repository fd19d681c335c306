#include "brimwell/core/snapshots/snapshot_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <span>

#include "brimwell/core/storage/ascii_text.h"
#include "brimwell/core/storage/base64.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell::SnapshotWriter {
namespace {

// Thrown for a non-finite number, and for the sink's error; caught in `write`.
struct NotRepresentable {
  double value;
};
struct SinkFailed {
  Error error;
};

// The text is handed to the sink in pieces of about this size: large enough that one system call
// carries many records, small enough that the buffer stays in the cache and is reused throughout.
constexpr std::size_t kPieceBytes = 256 << 10;

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF), the only text whose escaping is done here rather than by the shared encoder.
bool isValidUTF8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    const unsigned char c = bytes[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > size || bytes[i + 1] < low || bytes[i + 1] > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

// The text gathered for the next piece. Every append is inline and checks for room once.
class PieceText {
 public:
  PieceText() : data_(std::make_unique_for_overwrite<char[]>(2 * kPieceBytes)) {}

  void put(char c) { *extend(1) = c; }
  void put(std::string_view text) { std::memcpy(extend(text.size()), text.data(), text.size()); }
  // `count` more bytes at the end, for the caller to fill.
  char* extend(std::size_t count) {
    if (size_ + count > capacity_) [[unlikely]]
      enlarge(size_ + count);
    char* at = data_.get() + size_;
    size_ += count;
    return at;
  }
  // Gives back the unused end of what `extend` gave.
  void shrink(std::size_t count) { size_ -= count; }

  std::string_view view() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }

 private:
  void enlarge(std::size_t needed) {
    capacity_ = std::max(needed, 2 * capacity_);
    auto larger = std::make_unique_for_overwrite<char[]>(capacity_);
    std::memcpy(larger.get(), data_.get(), size_);
    data_ = std::move(larger);
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0, capacity_ = 2 * kPieceBytes;
};

class Writer {
 public:
  explicit Writer(const AtomicFile::ByteSink& sink) : sink_(sink) {}

  // Hands what is buffered to the sink once a whole piece has gathered.
  void flushPiece() {
    if (out_.size() >= kPieceBytes) send();
  }
  // Hands the rest to the sink, at the end of the text.
  void finish() {
    if (out_.size() > 0) send();
  }

  // `bytes` as a Base64 string, encoded a slice at a time (whole groups of three bytes, so the
  // slices' text is the text of the whole) and never held whole.
  void base64(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kSlice = kPieceBytes / 4 * 3;
    out_.put('"');
    for (std::size_t at = 0; at < bytes.size(); at += kSlice) {
      const auto slice = bytes.subspan(at, std::min(kSlice, bytes.size() - at));
      Base64::encodeTo(slice, out_.extend(Base64::encodedSize(slice.size())));
      flushPiece();
    }
    out_.put('"');
    needComma_ = true;
  }

  void string(std::string_view text) {
    if (AsciiText::needsNoJsonEscape(text)) {  // most text: copied as it is
      char* at = out_.extend(text.size() + 2);
      at[0] = '"';
      std::memcpy(at + 1, text.data(), text.size());
      at[text.size() + 1] = '"';
      needComma_ = true;
      return;
    }
    if (!isValidUTF8(text)) {  // the shared encoder's replacement of invalid bytes
      out_.put(BrimwellJSON::dump(Json(std::string(text))));
      needComma_ = true;
      return;
    }
    out_.put('"');
    std::size_t plain = 0;  // start of the run of bytes copied unchanged
    for (std::size_t i = 0; i < text.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (c >= 0x20 && c != '"' && c != '\\') continue;
      out_.put(text.substr(plain, i - plain));
      plain = i + 1;
      switch (c) {
        case '"':
          out_.put("\\\"");
          break;
        case '\\':
          out_.put("\\\\");
          break;
        case '\b':
          out_.put("\\b");
          break;
        case '\t':
          out_.put("\\t");
          break;
        case '\n':
          out_.put("\\n");
          break;
        case '\f':
          out_.put("\\f");
          break;
        case '\r':
          out_.put("\\r");
          break;
        default: {
          static constexpr char kHex[] = "0123456789abcdef";
          const char escaped[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0x0F]};
          out_.put({escaped, sizeof escaped});
        }
      }
    }
    out_.put(text.substr(plain));
    out_.put('"');
    needComma_ = true;
  }

  void integer(std::int64_t value) {
    char* at = out_.extend(24);
    out_.shrink(at + 24 - std::to_chars(at, at + 24, value).ptr);
    needComma_ = true;
  }

  void number(double value) {
    if (!std::isfinite(value)) throw NotRepresentable{value};
    char* at = out_.extend(64);
    char* end;
    if (std::abs(value) < 1e15 && value == std::trunc(value) &&
        !(value == 0 && std::signbit(value))) {
      // A whole number, as the shared encoder writes one: its digits and ".0".
      end = std::to_chars(at, at + 64, static_cast<std::int64_t>(value)).ptr;
      end = std::copy_n(".0", 2, end);
    } else {
      // The shortest form that reads back exactly, written as the shared encoder writes it.
      end = nlohmann::detail::to_chars(at, at + 64, value);
    }
    out_.shrink(at + 64 - end);
    needComma_ = true;
  }

  void boolean(bool value) {
    out_.put(value ? "true" : "false");
    needComma_ = true;
  }
  void date(Date value) { string(BrimwellJSON::format(value)); }
  template <class E>
  void enumeration(E value) {
    string(toString(value));
  }

  // An object; `body` writes its members with keys in ascending code-point order.
  template <class Body>
  void object(Body&& body) {
    out_.put('{');
    needComma_ = false;
    body();
    out_.put('}');
    needComma_ = true;
  }

  template <class T, class Element>
  void array(const std::vector<T>& values, Element&& element) {
    out_.put('[');
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i > 0) out_.put(',');
      element(values[i]);
      flushPiece();
    }
    out_.put(']');
    needComma_ = true;
  }

  // Starts the member named `name`, a key that needs no escaping.
  Writer& key(std::string_view name) {
    char* at = out_.extend(name.size() + (needComma_ ? 4 : 3));
    if (needComma_) *at++ = ',';
    *at++ = '"';
    at = std::copy(name.begin(), name.end(), at);
    *at++ = '"';
    *at = ':';
    needComma_ = false;
    return *this;
  }
  // Starts the member named by any text.
  Writer& anyKey(std::string_view name) {
    if (needComma_) out_.put(',');
    string(name);
    out_.put(':');
    needComma_ = false;
    return *this;
  }

 private:
  void send() {
    if (Status sent = sink_(out_.view()); !sent) throw SinkFailed{std::move(sent).error()};
    out_.clear();
  }

  const AtomicFile::ByteSink& sink_;
  PieceText out_;
  bool needComma_ = false;  // a value was just completed inside the innermost object
};

// Each writer below lists its record's keys in ascending code-point order.

void write(Writer& w, const Rect& v) {
  w.object([&] {
    w.key("height").number(v.height);
    w.key("width").number(v.width);
    w.key("x").number(v.x);
    w.key("y").number(v.y);
  });
}

void write(Writer& w, const WindowRecord& v) {
  w.object([&] {
    if (v.documentURL) w.key("documentURL").string(*v.documentURL);
    if (v.frame) write(w.key("frame"), *v.frame);
    w.key("isFullScreen").boolean(v.isFullScreen);
    w.key("isMinimized").boolean(v.isMinimized);
    w.key("order").integer(v.order);
    w.key("title").string(v.title);
  });
}

void write(Writer& w, const AppRecord& v) {
  w.object([&] {
    if (v.bundleID) w.key("bundleID").string(*v.bundleID);
    w.key("isHidden").boolean(v.isHidden);
    w.key("name").string(v.name);
    w.key("order").integer(v.order);
    w.key("path").string(v.path);
    w.key("wasFrontmost").boolean(v.wasFrontmost);
    w.key("windows").array(v.windows, [&](const WindowRecord& window) { write(w, window); });
    w.key("windowsStatus").enumeration(v.windowsStatus);
  });
}

void write(Writer& w, const TabRecord& v) {
  w.object([&] {
    w.key("title").string(v.title);
    w.key("url").string(v.url);
  });
}

void write(Writer& w, const BrowserWindowRecord& v) {
  w.object([&] {
    w.key("activeTabIndex").integer(v.activeTabIndex);
    if (v.bounds) write(w.key("bounds"), *v.bounds);
    w.key("tabs").array(v.tabs, [&](const TabRecord& tab) { write(w, tab); });
  });
}

void write(Writer& w, const BrowserRecord& v) {
  w.object([&] {
    w.key("browser").enumeration(v.browser);
    w.key("status").enumeration(v.status);
    w.key("windows").array(v.windows, [&](const BrowserWindowRecord& window) { write(w, window); });
  });
}

void write(Writer& w, const FinderWindowRecord& v) {
  w.object([&] {
    if (v.bounds) write(w.key("bounds"), *v.bounds);
    w.key("path").string(v.path);
  });
}

void write(Writer& w, const TerminalTabRecord& v) {
  w.object([&] {
    if (v.directory) w.key("directory").string(*v.directory);
    w.key("title").string(v.title);
  });
}

void write(Writer& w, const TerminalWindowRecord& v) {
  w.object([&] {
    if (v.bounds) write(w.key("bounds"), *v.bounds);
    w.key("tabs").array(v.tabs, [&](const TerminalTabRecord& tab) { write(w, tab); });
  });
}

void write(Writer& w, const TerminalRecord& v) {
  w.object([&] {
    w.key("app").enumeration(v.app);
    w.key("status").enumeration(v.status);
    w.key("windows").array(v.windows,
                           [&](const TerminalWindowRecord& window) { write(w, window); });
  });
}

void write(Writer& w, const ClipboardRecord& v) {
  w.object([&] {
    w.key("items").array(v.items, [&](const ClipboardRecord::Item& item) {
      w.object([&] {
        // A std::map of byte strings: its keys are already in code-point order.
        for (const auto& [type, bytes] : item) w.anyKey(type).base64(bytes);
      });
    });
    w.key("totalBytes").integer(v.totalBytes);
  });
}

void write(Writer& w, const RescuedDocument& v) {
  w.object([&] {
    w.key("appBundleID").string(v.appBundleID);
    w.key("appName").string(v.appName);
    w.key("originalTitle").string(v.originalTitle);
    w.key("path").string(v.path);
  });
}

void write(Writer& w, const SaverResult& v) {
  w.object([&] {
    w.key("appName").string(v.appName);
    w.key("bundleID").string(v.bundleID);
    if (v.detail) w.key("detail").string(*v.detail);
    w.key("outcome").enumeration(v.outcome);
    w.key("rescued").integer(v.rescued);
    w.key("saved").integer(v.saved);
  });
}

void write(Writer& w, const SnapshotMeta& v) {
  w.object([&] {
    if (v.batteryPercent) w.key("batteryPercent").integer(*v.batteryPercent);
    w.key("bootSessionUUID").string(v.bootSessionUUID);
    w.key("createdAt").date(v.createdAt);
    w.key("durationMs").integer(v.durationMs);
    w.key("hostModel").string(v.hostModel);
    if (v.powerSource) w.key("powerSource").enumeration(*v.powerSource);
    w.key("trigger").enumeration(v.trigger);
  });
}

void write(Writer& w, const Snapshot& v) {
  w.object([&] {
    w.key("apps").array(v.apps, [&](const AppRecord& app) { write(w, app); });
    w.key("browsers").array(v.browsers, [&](const BrowserRecord& browser) { write(w, browser); });
    if (v.clipboard) write(w.key("clipboard"), *v.clipboard);
    w.key("finder").array(v.finder, [&](const FinderWindowRecord& window) { write(w, window); });
    w.key("id").string(v.id);
    write(w.key("meta"), v.meta);
    w.key("rescued").array(v.rescued, [&](const RescuedDocument& document) { write(w, document); });
    if (v.savePassAt) w.key("savePassAt").date(*v.savePassAt);
    w.key("savers").array(v.savers, [&](const SaverResult& result) { write(w, result); });
    w.key("schema").integer(v.schema);
    w.key("terminals").array(v.terminals, [&](const TerminalRecord& terminal) {
      write(w, terminal);
    });
  });
}

}  // namespace

Status write(const Snapshot& snapshot, const AtomicFile::ByteSink& sink) {
  try {
    Writer writer(sink);
    write(writer, snapshot);
    writer.finish();
    return {};
  } catch (const NotRepresentable& failure) {
    return fail("The number " + std::to_string(failure.value) + " can't be written as JSON.");
  } catch (SinkFailed& failure) {
    return Unexpected(std::move(failure.error));
  }
}

Result<std::string> encode(const Snapshot& snapshot) {
  std::string text;
  const AtomicFile::ByteSink append = [&text](std::string_view piece) {
    text.append(piece);
    return Status();
  };
  if (Status written = write(snapshot, append); !written) return Unexpected(written.error());
  return text;
}

}  // namespace brimwell::SnapshotWriter
