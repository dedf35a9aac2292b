// PZX files read onto the same block kinds as TZX, so that a PZX tape is
// shown, kept, sounded and saved (as TZX) like any other:
//  - a pilot tone and two sync pulses followed by data of two equal pulses a
//    bit become one standard block (ROM timings and pilot) or turbo block,
//    the pause after them taken in as its pause;
//  - other pulses become pure tones and pulse sequences, other data pure data
//    (two equal pulses a bit) or generalised data, a pulse after the data a
//    pulse sequence of its own;
//  - pauses become pauses (in whole ms, at least 1), a stop a stop of the
//    tape (always or in 48K mode), a browse point a text, the header's title
//    and information the archive information.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

struct PzxKinds {
  std::vector<TapeBlock> blocks;
  int leftOut = 0;                    // blocks for which the project had no room
  int unknown = 0;                    // PZX blocks of a kind TZX has no place for, left out
  std::uint64_t truncatedOffset = 0;  // offset of a block that runs past the end (0: none)
  std::uint64_t truncatedBytes = 0;   // bytes of it present in the file
  std::string failure;                // why nothing could be read ("" when it could)
};

// Reads a whole PZX file, at most room blocks.
PzxKinds ReadPzxKinds(const std::uint8_t* file, std::size_t size, std::size_t room);

}  // namespace reelo
