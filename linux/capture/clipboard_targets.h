// Which of the targets a clipboard owner offers the capturer fetches, and how much of the
// clipboard fits under the ceiling. Pure; callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brimwell {

// TARGETS, MULTIPLE, TIMESTAMP, SAVE_TARGETS and DELETE describe or act on the selection rather
// than hold its data.
bool isMetaTarget(std::string_view target);

// `offered` without meta targets, empty names and repeats, in the owner's order.
std::vector<std::string> dataTargets(const std::vector<std::string>& offered);

// The clipboard bytes still allowed under a ceiling. A representation is added whole or not at
// all; once one doesn't fit, no later one is added either, so the record never holds a part.
class ClipboardBudget {
 public:
  explicit ClipboardBudget(std::int64_t ceiling) : left_(ceiling) {}
  std::int64_t left() const { return stopped_ ? 0 : left_; }
  bool stopped() const { return stopped_; }
  // Whether `size` more bytes fit; when they do they are counted, when not the budget stops.
  bool take(std::int64_t size);
  void stop() { stopped_ = true; }

 private:
  std::int64_t left_;
  bool stopped_ = false;
};

}  // namespace brimwell
