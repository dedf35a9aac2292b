// Reading a block's parts: where the data starts, the block at a list index,
// and the data bytes without length, flag and checksum.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

// Byte 3 of a record is its first data byte (after the length field and the flag).
inline constexpr int kFirstDataByte = 3;

// The block at `index`, or an empty block when the project has none there.
const TapeBlock& BlockAt(const TapeProject& project, int index);

// The data bytes 3..L of a record (L its record length), as far as the block
// holds them; empty for a record shorter than 3 bytes.
inline std::vector<std::uint8_t> DataBytes(const TapeBlock& block) {
  const long long end = std::min<long long>(RecordLength(block) + 1, static_cast<long long>(block.size()));
  if (end <= kFirstDataByte) return {};
  return {block.begin() + kFirstDataByte, block.begin() + end};
}

// The number of data bytes, L - 2 (negative for records of length 0 and 1).
inline int DataLength(const TapeBlock& block) { return RecordLength(block) - 2; }

}  // namespace reelo
