// A walk over the blocks of a TZX file by their lengths alone, before
// libspectrum sees it. libspectrum refuses a whole file for one block it does
// not know and for a last block cut short; the walk takes such blocks out (the
// format gives every block a length a reader can skip by) and cuts the file
// after its last whole block, so the rest of the tape still loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

inline constexpr std::size_t kTzxHeaderSize = 10;  // "ZXTape!", 0x1A, major and minor version

struct TzxWalk {
  int controlBlocksRemoved = 0;       // call and return blocks (no data; libspectrum does not know them)
  int textBlocksRemoved = 0;          // emulation information (no data; not known either)
  int unknownBlocksRemoved = 0;       // blocks of a kind the format does not define here
  std::uint64_t truncatedOffset = 0;  // offset of a block that runs past the end (0: none)
  std::uint64_t truncatedBytes = 0;   // bytes of it present in the file
  bool changed = false;               // something was taken out or cut off
};

// Walks a whole TZX file (signature included) and says what is to be taken
// out. Only when something is, cleaned receives the file without it (so a
// file with nothing to take out is never copied).
TzxWalk WalkTzxBlocks(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& cleaned);

// The size of a block's body (the bytes after its ID) from the first bytes of
// that body (left of them in the file), or nothing when the file ends before
// the count that gives it.
std::optional<std::uint64_t> TzxBodySize(std::uint8_t id, const std::uint8_t* body, std::uint64_t left);

// The same, rewriting file in place.
TzxWalk CleanTzxBlocks(std::vector<std::uint8_t>& file);

}  // namespace reelo
