// TZX files block by block, every kind kept: standard, turbo and pure data
// blocks become records with the fields a record cannot hold kept beside them,
// every other block keeps its whole body. Writing gives each block back as it
// was read, so a tape opened and saved unchanged is the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

struct TzxKinds {
  std::vector<TapeBlock> blocks;
  int leftOut = 0;                    // blocks for which the project had no room
  std::uint64_t truncatedOffset = 0;  // offset of a block that runs past the end (0: none)
  std::uint64_t truncatedBytes = 0;   // bytes of it present in the file
};

// Reads every block of a whole TZX file (signature included), at most room
// blocks; step gets the offset after every block.
TzxKinds ReadTzxKinds(const std::uint8_t* file, std::size_t size, std::size_t room,
                      const std::function<void(std::uint64_t)>& step = {});

// The TZX file header, version 1.20.
void AppendTzxHeader(std::vector<std::uint8_t>& out);
// Appends one block as a TZX block: a plain record as a standard-speed block
// with a 1000 ms pause, every other block with its kept fields. A damaged
// record shorter than its length field is completed with zeros.
void AppendTzxBlock(std::vector<std::uint8_t>& out, const TapeBlock& block);

}  // namespace reelo
