#include "formats/tzx_blocks.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <optional>

#include "project/block_kinds.h"

namespace reelo {
namespace {

// How a block's size follows from the bytes after its ID: a fixed part, plus
// a count (of countBytes bytes at countOffset, little-endian) times unitSize.
struct BlockLayout {
  std::uint8_t id;
  std::size_t fixedSize;
  std::size_t countOffset;
  int countBytes;  // 0: the block has only its fixed part
  std::size_t unitSize;
  enum class Fate { Keep, Control, Text, Unknown } fate;
};

using Fate = BlockLayout::Fate;

// The blocks of the TZX format, version 1.20, and the old ones still met.
constexpr BlockLayout kLayouts[] = {
    {0x10, 4, 2, 2, 1, Fate::Keep},     // standard speed data
    {0x11, 18, 15, 3, 1, Fate::Keep},   // turbo speed data
    {0x12, 4, 0, 0, 0, Fate::Keep},     // pure tone
    {0x13, 1, 0, 1, 2, Fate::Keep},     // pulse sequence
    {0x14, 10, 7, 3, 1, Fate::Keep},    // pure data
    {0x15, 8, 5, 3, 1, Fate::Keep},     // direct recording
    {0x18, 4, 0, 4, 1, Fate::Keep},     // CSW recording
    {0x19, 4, 0, 4, 1, Fate::Keep},     // generalised data
    {0x20, 2, 0, 0, 0, Fate::Keep},     // pause or stop the tape
    {0x21, 1, 0, 1, 1, Fate::Keep},     // group start
    {0x22, 0, 0, 0, 0, Fate::Keep},     // group end
    {0x23, 2, 0, 0, 0, Fate::Keep},     // jump
    {0x24, 2, 0, 0, 0, Fate::Keep},     // loop start
    {0x25, 0, 0, 0, 0, Fate::Keep},     // loop end
    {0x26, 2, 0, 2, 2, Fate::Control},  // call sequence
    {0x27, 0, 0, 0, 0, Fate::Control},  // return from sequence
    {0x28, 2, 0, 2, 1, Fate::Keep},     // select block
    {0x2A, 4, 0, 4, 1, Fate::Keep},     // stop the tape in 48K mode
    {0x2B, 4, 0, 4, 1, Fate::Keep},     // set signal level
    {0x30, 1, 0, 1, 1, Fate::Keep},     // text description
    {0x31, 2, 1, 1, 1, Fate::Keep},     // message
    {0x32, 2, 0, 2, 1, Fate::Keep},     // archive info
    {0x33, 1, 0, 1, 3, Fate::Keep},     // hardware type
    {0x34, 8, 0, 0, 0, Fate::Text},     // emulation info (old)
    {0x35, 20, 16, 4, 1, Fate::Keep},   // custom info
    {0x40, 4, 1, 3, 1, Fate::Unknown},  // snapshot (old)
    {0x5A, 9, 0, 0, 0, Fate::Keep},     // glue block
};

// Any other block starts with the length of the rest, in 4 bytes.
constexpr BlockLayout kOtherBlock{0, 4, 0, 4, 1, Fate::Unknown};

const BlockLayout& LayoutOf(std::uint8_t id) {
  for (const BlockLayout& layout : kLayouts) {
    if (layout.id == id) return layout;
  }
  return kOtherBlock;
}

// The size of the block body after its ID, or nothing when the file ends
// before the count that gives it.
std::optional<std::uint64_t> BodySize(const BlockLayout& layout, const std::uint8_t* body, std::uint64_t left) {
  std::uint64_t count = 0;
  if (layout.countBytes > 0) {
    if (layout.countOffset + static_cast<std::uint64_t>(layout.countBytes) > left) return std::nullopt;
    for (int i = layout.countBytes - 1; i >= 0; --i) count = count * 256 + body[layout.countOffset + i];
  }
  return layout.fixedSize + count * layout.unitSize;
}

}  // namespace

std::optional<std::uint64_t> TzxBodySize(std::uint8_t id, const std::uint8_t* body, std::uint64_t left) {
  return BodySize(LayoutOf(id), body, left);
}

TzxWalk WalkTzxBlocks(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& cleaned) {
  TzxWalk walk;
  if (size < kTzxHeaderSize) return walk;
  // From the first block taken out on, the kept blocks are copied to cleaned.
  const auto startCopy = [&](std::size_t upTo) {
    if (!walk.changed) cleaned.assign(file, file + upTo);
    walk.changed = true;
  };
  std::size_t read = kTzxHeaderSize;
  while (read < size) {
    const BlockLayout& layout = LayoutOf(file[read]);
    const std::uint64_t left = size - read - 1;
    const std::optional<std::uint64_t> body = BodySize(layout, file + read + 1, left);
    if (!body || *body > left) {
      startCopy(read);
      walk.truncatedOffset = read;
      walk.truncatedBytes = size - read;
      break;
    }
    const std::size_t blockSize = static_cast<std::size_t>(*body) + 1;
    switch (layout.fate) {
      case Fate::Keep:
        if (walk.changed) cleaned.insert(cleaned.end(), file + read, file + read + blockSize);
        break;
      case Fate::Control: startCopy(read), ++walk.controlBlocksRemoved; break;
      case Fate::Text: startCopy(read), ++walk.textBlocksRemoved; break;
      case Fate::Unknown: startCopy(read), ++walk.unknownBlocksRemoved; break;
    }
    read += blockSize;
  }
  return walk;
}

TzxWalk CleanTzxBlocks(std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> cleaned;
  const TzxWalk walk = WalkTzxBlocks(file.data(), file.size(), cleaned);
  if (walk.changed) file.swap(cleaned);
  return walk;
}

}  // namespace reelo
