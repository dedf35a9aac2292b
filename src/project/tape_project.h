// The tape project: the one document Reelo edits, an ordered list of TAP records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "project/tape_block.h"
#include "project/op_result.h"

namespace reelo {

// A block's bytes are one whole TAP record as stored in a file: bytes 0-1 the
// record length L (little-endian), byte 2 the flag, bytes 3..L the data, byte
// L+1 the checksum. The vector holds exactly L + 2 bytes, except for a damaged
// record that the program itself never creates. Blocks of other TZX kinds keep
// their fields beside it (project/tape_block.h).

inline constexpr int kMaxBlocks = 1000;
inline constexpr int kHeaderRecordLength = 19;
inline constexpr int kMaxRecordLength = 65535;
inline constexpr const char* kNoFileName = "*";

struct TapeProject {
  std::vector<TapeBlock> blocks;       // at most kMaxBlocks, in tape order
  std::string fileName = kNoFileName;  // "*" while the project has no file
  bool modified = false;
  bool blockSelected = false;

  int blockCount() const { return static_cast<int>(blocks.size()); }
  int freeSlots() const { return kMaxBlocks - blockCount(); }
  bool hasFileName() const { return fileName != kNoFileName; }
  // Gives the project no file ("*").
  void forgetFileName() { fileName.assign(1, '*'); }
};

// What a reader gives back instead of changing a project: the blocks it read,
// in tape order, and how the read went (Error: nothing read; Warning: the
// blocks that could be read, and why others could not).
struct TapeRead {
  std::vector<TapeBlock> blocks;
  OpResult status;
};

// lo + 256 * hi: the 16-bit little-endian value of two bytes.
constexpr int WordFromBytes(std::uint8_t lo, std::uint8_t hi) { return lo + 256 * hi; }

// The byte at index i of a block, or 0 where the block has no such byte.
// Readers that look past a record's end (the export's byte after the checksum,
// the listing's reads past the data) see 0 there, always the same.
inline std::uint8_t ByteAt(const TapeBlock& block, long long i) {
  return (i >= 0 && i < static_cast<long long>(block.size())) ? block[static_cast<std::size_t>(i)] : 0;
}

// The record length L from bytes 0-1 (0 for a block too short to hold it).
inline int RecordLength(const TapeBlock& block) { return WordFromBytes(ByteAt(block, 0), ByteAt(block, 1)); }

// True for a record of length 19: a tape header, whatever its flag byte.
inline bool IsHeader(const TapeBlock& block) { return RecordLength(block) == kHeaderRecordLength; }

// Decimal digits with one leading space when x >= 0, "-" when negative.
std::string NumberText(long long x);

// A whole record made from its flag, data and checksum bytes (length field added).
TapeBlock MakeRecord(const std::vector<std::uint8_t>& body);
TapeBlock MakeRecord(const std::uint8_t* body, std::size_t size);

}  // namespace reelo
