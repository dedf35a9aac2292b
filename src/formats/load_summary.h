// The one message a tape load leaves the user: what was taken, converted,
// decoded and left out, by kind, one line each.
#pragma once

#include <cstdint>
#include <string>

#include "formats/tape_file.h"

namespace reelo {

// What else the load met besides the blocks it counted.
struct LoadNotes {
  std::uint64_t truncatedOffset = 0;  // a last block cut short at this offset (0: none)
  std::uint64_t truncatedBytes = 0;
  bool decoderStoreFull = false;  // a signal run gave more records than the decoder holds
  bool signalCut = false;         // a signal run was longer than the renderer takes
  std::string recording;          // what a CSW file got wrong but could still be read ("" when nothing)
};

// "" when every block was a standard-speed data block that fitted, so the
// load needs no message; otherwise the lines of the warning.
std::string LoadSummaryText(const TapeLoadCounts& counts, const LoadNotes& notes);

}  // namespace reelo
