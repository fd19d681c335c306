// The summary probe: whenever both the probe and the full decoder read a file, the probe's
// summary equals the full snapshot's.
#include <cstring>
#include <vector>

#include "core/snapshots/snapshot.h"
#include "core/snapshots/snapshot_summary.h"
#include "core/snapshots/summary_probe.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  std::vector<char> padded(size + SummaryProbe::padding, '\0');
  if (size > 0) std::memcpy(padded.data(), data, size);
  auto inPlace = SummaryProbe::decode(std::string_view(padded.data(), size), padded.size());
  auto copied = SummaryProbe::decode(text);
  fuzz::check(inPlace.has_value() == copied.has_value(), "reading in place changes nothing");

  auto full = BrimwellJSON::decode<Snapshot>(text);
  if (!inPlace || !full) return 0;
  const std::string id = "20260301T140509.250Z";
  Snapshot named = *full;
  named.id = id;
  fuzz::check(inPlace->summary(id) == SnapshotSummary(named),
              "the probe's summary is the full one");
  fuzz::check(copied->summary(id) == inPlace->summary(id), "reading in place changes nothing");
  return 0;
}
