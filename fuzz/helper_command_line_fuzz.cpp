// The power tool's command line: whatever it is given, it reads only the six lines the daemon
// writes, each of which writes back as exactly the words it was read from.
#include "fuzz/fuzz_check.h"
#include "helper/helper_command.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The input's NUL-separated words are the arguments.
  std::vector<std::string> words(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.emplace_back();
    } else {
      words.back().push_back(static_cast<char>(data[i]));
    }
  }
  if (size == 0) words.clear();
  const auto command = parseHelperCommand(words);
  if (!command) {
    fuzz::check(!command.error().message().empty(), "a refusal is a sentence");
    return 0;
  }
  fuzz::check(arguments(*command) == words, "a command read writes back as its own words");
  return 0;
}
