// The summary probe: whenever both the probe and the full decoder read a file, the probe's
// summary equals the full snapshot's; and whenever it reads the file with long strings left out,
// it reads the whole file the same.
#include <algorithm>
#include <cstring>
#include <vector>

#include "brimwell/core/snapshots/long_string_skipper.h"
#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/snapshots/snapshot_summary.h"
#include "brimwell/core/snapshots/summary_probe.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  std::vector<char> padded(size + SummaryProbe::padding, '\0');
  if (size > 0) std::memcpy(padded.data(), data, size);
  auto inPlace = SummaryProbe::decode(std::string_view(padded.data(), size), padded.size());
  auto copied = SummaryProbe::decode(text);
  fuzz::check(inPlace.has_value() == copied.has_value(), "reading in place changes nothing");

  const std::string id = "20260301T140509.250Z";
  // Strings longer than any date left out, the text arriving in pieces of 7.
  LongStringSkipper skipper(32);
  std::vector<char> shortened(size + SummaryProbe::padding, '\0');
  std::size_t kept = 0;
  for (std::size_t at = 0; at < size && skipper.faithful(); at += 7) {
    const std::size_t count = std::min<std::size_t>(7, size - at);
    std::memcpy(shortened.data() + kept, data + at, count);
    kept = skipper.scan(shortened.data(), kept, kept + count);
  }
  if (skipper.faithful()) {
    std::memset(shortened.data() + kept, 0, SummaryProbe::padding);
    const auto skimmed = SummaryProbe::decode(std::string_view(shortened.data(), kept),
                                              kept + SummaryProbe::padding);
    fuzz::check(!skimmed || (inPlace && skimmed->summary(id) == inPlace->summary(id)),
                "what the probe reads with long strings left out, it reads the same whole");
  }

  auto full = BrimwellJSON::decode<Snapshot>(text);
  if (!inPlace || !full) return 0;
  Snapshot named = *full;
  named.id = id;
  fuzz::check(inPlace->summary(id) == SnapshotSummary(named),
              "the probe's summary is the full one");
  fuzz::check(copied->summary(id) == inPlace->summary(id), "reading in place changes nothing");
  return 0;
}
