#include "cli/rescued_command.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "brimwell/core/rescue/rescue_ledger.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "cli/support_option.h"

namespace brimwell::cli {
namespace {

struct RescuedOptions {
  std::string support;
  bool json = false;
};

int runRescued(const RescuedOptions& options) {
  const auto paths = supportPaths(options.support);
  if (!paths) return reportFailure(paths.error().message());
  RescueLedger ledger(*paths);
  const auto documents =
      ledger.recent(std::chrono::system_clock::now(), [](const std::string& path) {
        std::error_code error;
        return std::filesystem::exists(path, error);
      });
  if (documents.empty() && !options.json) {
    std::cout << "No document was rescued in the last six hours.\n";
    return 0;
  }
  for (const auto& document : documents) {
    if (options.json) {
      const auto line = BrimwellJSON::encode(document);
      if (!line) return reportFailure("The rescued document " + document.path + " can't be shown.");
      std::cout << *line << '\n';
    } else {
      std::cout << document.appName << "  \"" << document.originalTitle << "\"  " << document.path
                << '\n';
    }
  }
  return 0;
}

}  // namespace

void addRescuedCommand(CLI::App& app, int& status) {
  CLI::App* command = app.add_subcommand(
      "rescued", "List the documents rescued in the last six hours, most recent first.");
  auto options = std::make_shared<RescuedOptions>();
  addSupportOption(*command, options->support);
  command->add_flag("--json", options->json, "Print each document as one JSON object per line");
  command->callback([options, &status] { status = runRescued(*options); });
}

}  // namespace brimwell::cli
