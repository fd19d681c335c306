// The daemon's request line handler against a power tool that prints fuzzed text: every line gets
// exactly one reply line that parses, echoes a usable id, and carries a message exactly when the
// request or the operation failed. The input is the request line, then "\n", then the tool's text.
#include <unistd.h>

#include <filesystem>

#include "brimwell/core/helper/helper_wire.h"
#include "fuzz/fuzz_check.h"
#include "helper/request_handler.h"

using namespace brimwell;

namespace {

// Answers every run with the fuzzed text, or with a launch failure when the text is empty.
class ScriptedRunner final : public CommandRunner {
 public:
  std::string output;
  Expected<CommandOutput, CommandRunnerError> run(const std::string&,
                                                  const std::vector<std::string>&, double,
                                                  double) override {
    if (output.empty()) return Unexpected(CommandRunnerError::couldNotLaunch("no such tool"));
    return CommandOutput{output[0] == '!' ? 1 : 0, output, ""};
  }
};

std::string recordPath() {
  static const std::string path = (std::filesystem::temp_directory_path() /
                                   ("brimwell-fuzz-record-" + std::to_string(::getpid()) + ".json"))
                                      .string();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto input = fuzz::textOf(data, size);
  const auto newline = input.find('\n');
  const std::string_view line = input.substr(0, newline);
  auto runner = std::make_shared<ScriptedRunner>();
  if (newline != std::string_view::npos) runner->output = std::string(input.substr(newline + 1));
  auto store = std::make_shared<HelperRecordStore>(recordPath(), ::getuid());
  HelperService service(runner, store, 2, "/usr/bin/pmset");

  const std::string reply =
      handleRequestLine(line, service, [](HelperCall) { return std::string(); });
  fuzz::check(reply.find('\n') == std::string::npos, "a reply is one line");
  fuzz::check(reply.size() <= maxHelperLineLength, "a reply fits the line limit");
  auto parsed = parseReply(reply);
  fuzz::check(parsed.has_value(), "a reply parses");
  auto request = parseRequest(line);
  if (!request) {
    fuzz::check(parsed->message.has_value(), "a bad request is told why");
  } else {
    fuzz::check(parsed->id == request->id, "a reply echoes the request's id");
    if (request->call == HelperCall::helperVersion) {
      fuzz::check(parsed->version == 2 && !parsed->message, "the version is answered at once");
    }
  }
  (void)store->save(HelperRecord{});  // each input starts without a record
  return 0;
}
