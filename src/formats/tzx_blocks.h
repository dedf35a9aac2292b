// A walk over the blocks of a TZX file by their lengths alone, before
// libspectrum sees it. libspectrum refuses a whole file for one block it does
// not know and for a last block cut short; the walk takes such blocks out (the
// format gives every block a length a reader can skip by) and cuts the file
// after its last whole block, so the rest of the tape still loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reelo {

inline constexpr std::size_t kTzxHeaderSize = 10;  // "ZXTape!", 0x1A, major and minor version
inline constexpr std::uint8_t kTzxStandardBlock = 0x10;
inline constexpr std::size_t kTzxStandardHead = 5;  // ID, pause (2 bytes), data length (2 bytes)

struct TzxWalk {
  int controlBlocksRemoved = 0;  // call and return blocks (no data; libspectrum does not know them)
  int textBlocksRemoved = 0;     // emulation information (no data; not known either)
  int unknownBlocksRemoved = 0;  // blocks of a kind the format does not define here
  std::uint64_t truncatedOffset = 0;  // offset of a block that runs past the end (0: none)
  std::uint64_t truncatedBytes = 0;   // bytes of it present in the file
  bool changed = false;               // something was taken out or cut off
};

// Walks a whole TZX file (signature included) and says what is to be taken
// out. Only when something is, cleaned receives the file without it (so a
// file with nothing to take out is never copied).
TzxWalk WalkTzxBlocks(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& cleaned);

// Where the data of one standard-speed block lies in the file.
struct TzxDataSpan {
  std::size_t offset;
  std::size_t length;
};

// True when the file holds standard-speed data blocks (ID 0x10) and nothing
// else, every one whole; spans then gives their data in order. Such a file,
// the usual one, is read from here: passing it through libspectrum would only
// copy every byte once more.
bool StandardBlocksOnly(const std::uint8_t* file, std::size_t size, std::vector<TzxDataSpan>& spans);

// The same, rewriting file in place.
TzxWalk CleanTzxBlocks(std::vector<std::uint8_t>& file);

}  // namespace reelo
