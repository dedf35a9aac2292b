// A CSW file read onto one CSW recording block (TZX kind 0x18) that holds the
// file's pulses exactly: its sample rate, its compression (packed data kept as
// the file has it, plain run lengths otherwise), its pulse count and no pause
// after it, as libspectrum sounds a CSW file. The block is shown, sounded and
// saved like any other kind; a TAP save decodes its records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

// The unpacked pulse data of one CSW file may not be larger than this.
inline constexpr std::uint64_t kMaxCswPulseData = std::uint64_t{128} << 20;

struct CswKinds {
  std::vector<TapeBlock> blocks;  // the recording; none for a file without pulses
  std::string note;               // what the file got wrong but could still be read ("" when nothing)
  std::string failure;            // why nothing could be read ("" when it could)
};

// Reads a whole CSW file (signature included). Refused, with the reason in
// the user's words: a damaged header, a rate of 0 or above 3.5 MHz, an
// unknown version or compression, damaged packed data or data that unpacks to
// more than kMaxCswPulseData. Read with a note: a pulse count in the header
// that is neither the pulses nor the bytes of the data (the count of the
// data is kept), data cut inside a pulse (the pulses before it are kept).
CswKinds ReadCswKinds(const std::uint8_t* file, std::size_t size);

}  // namespace reelo
