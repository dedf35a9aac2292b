// Checksum-guided repair of a record read from a recording. The XOR of all the
// bytes of a good record (flag, data and checksum) is 0; when it is not, each
// 1 bit of that syndrome names a bit column with an odd number of wrong bits.
// The least certain bit of each such column is the likeliest culprit: the
// repair flips it, but only when few columns are wrong and that bit stands out
// as uncertain, so a repair is never a guess among equals.
#pragma once

#include <cstdint>
#include <vector>

namespace reelo {

// XOR of the record's bytes: 0 for a record whose checksum matches.
std::uint8_t RecordSyndrome(const std::vector<std::uint8_t>& bytes);

struct RepairLimits {
  int maxBits = 3;                // at most this many bits changed
  int maxConfidence = 110;        // a flipped bit's confidence (0..255) is at most this
  int minMargin = 24;             // and the next least certain bit of its column is this much surer
};

// Repairs bytes in place when it can (confidence: one value 0..255 per bit,
// most significant bit of each byte first). Returns the number of bits changed:
// 0 when the checksum already matches or no repair within the limits exists
// (bytes unchanged then). After a repair the syndrome is 0.
int RepairBits(std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& confidence,
               const RepairLimits& limits = {});

}  // namespace reelo
