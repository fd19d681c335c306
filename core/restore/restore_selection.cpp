#include "brimwell/core/restore/restore_selection.h"

namespace brimwell {

std::string RestoreSelection::browserKey(BrowserKind browser, int index) {
  return std::string(toString(browser)) + "#" + std::to_string(index);
}

std::string RestoreSelection::terminalKey(TerminalKind terminal, int index) {
  return std::string(toString(terminal)) + "#" + std::to_string(index);
}

const RestoreSelection& RestoreSelection::everything() {
  static const RestoreSelection selection{};
  return selection;
}

Json JsonCoding<RestoreSelection>::write(const RestoreSelection& v) {
  return JsonObjectWriter()
      .put("appPaths", v.appPaths)
      .put("documentPaths", v.documentPaths)
      .put("browserWindows", v.browserWindows)
      .put("finderPaths", v.finderPaths)
      .put("terminalWindows", v.terminalWindows)
      .put("clipboard", v.clipboard)
      .put("clipboardWasDefault", v.clipboardWasDefault)
      .put("clipboardChangeCount", v.clipboardChangeCount)
      .take();
}

RestoreSelection JsonCoding<RestoreSelection>::read(const Json& json) {
  const JsonObjectReader r(json);
  using Strings = std::set<std::string>;
  return {
      r.optional<Strings>("appPaths"),         r.optional<Strings>("documentPaths"),
      r.optional<Strings>("browserWindows"),   r.optional<Strings>("finderPaths"),
      r.optional<Strings>("terminalWindows"),  r.optional<bool>("clipboard"),
      r.required<bool>("clipboardWasDefault"), r.optional<std::int64_t>("clipboardChangeCount")};
}

}  // namespace brimwell
