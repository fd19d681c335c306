// Uses the installed core the way an application does: decodes a stored settings record (JSON
// coding, the settings' field-by-field fallback) and derives a journal location. Exits 0 only
// when both come out as the library defines them.
#include <cstdio>

#include <brimwell/core/storage/brimwell_json.h>
#include <brimwell/core/storage/brimwell_paths.h>
#include <brimwell/core/storage/brimwell_settings.h>

int main() {
  using namespace brimwell;
  auto settings =
      BrimwellJSON::decode<BrimwellSettings>(R"({"dimTarget":"bright","safeLandingEnabled":true})");
  const auto journal = BrimwellPaths::standard("/home/ann").journal();
  if (!settings || settings->dimTarget != 0.4 || !settings->safeLandingEnabled ||
      journal != "/home/ann/Library/Application Support/Brimwell/journal.json" ||
      BrimwellJSON::format(Date{}) != "1970-01-01T00:00:00.000Z") {
    std::puts("The installed core does not behave as built.");
    return 1;
  }
  return 0;
}
