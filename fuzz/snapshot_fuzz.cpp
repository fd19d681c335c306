// The snapshot decoders: the store's reader (clipboard read in place) agrees with the shared
// decoder on every input, value and error alike, and the round trip is stable; the store's
// writer gives the shared encoder's exact text for every snapshot that decodes.
#include <cstring>
#include <vector>

#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/snapshots/snapshot_reader.h"
#include "brimwell/core/snapshots/snapshot_writer.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  auto shared = fuzz::checkRoundTrip<Snapshot>(text);
  if (shared) {
    fuzz::check(SnapshotWriter::encode(*shared) == BrimwellJSON::encode(*shared),
                "the writer gives the shared encoder's text");
  }

  // The reader may read `padding` bytes past the text when told they are there.
  std::vector<char> padded(size + SnapshotReader::padding, '\0');
  if (size > 0) std::memcpy(padded.data(), data, size);
  for (std::size_t allocated : {std::size_t{0}, padded.size()}) {
    auto read = SnapshotReader::decode(std::string_view(padded.data(), size), allocated);
    fuzz::check(read.has_value() == shared.has_value(), "the reader and the decoder agree");
    if (read) fuzz::check(*read == *shared, "the reader gives the decoder's snapshot");
    if (!read) {
      auto direct = BrimwellJSON::decode<Snapshot>(text);
      fuzz::check(read.error().message() == direct.error().message(),
                  "the reader gives the decoder's error");
    }
  }
  return 0;
}
