// The size of every TZX block from the bytes after its ID alone: the format
// gives every block a length a reader can skip by, and any block of an ID it
// does not define starts with the length of the rest in 4 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace reelo {

inline constexpr std::size_t kTzxHeaderSize = 10;  // "ZXTape!", 0x1A, major and minor version

namespace tzx_layout {

// How a block's size follows from the bytes after its ID: a fixed part, plus
// a count (of countBytes bytes at countOffset, little-endian) times unitSize.
struct BlockLayout {
  std::uint8_t id;
  std::size_t fixedSize;
  std::size_t countOffset;
  int countBytes;  // 0: the block has only its fixed part
  std::size_t unitSize;
};

// The blocks of the TZX format, version 1.20, and the old ones still met.
inline constexpr BlockLayout kLayouts[] = {
    {0x10, 4, 2, 2, 1},     // standard speed data
    {0x11, 18, 15, 3, 1},   // turbo speed data
    {0x12, 4, 0, 0, 0},     // pure tone
    {0x13, 1, 0, 1, 2},     // pulse sequence
    {0x14, 10, 7, 3, 1},    // pure data
    {0x15, 8, 5, 3, 1},     // direct recording
    {0x18, 4, 0, 4, 1},     // CSW recording
    {0x19, 4, 0, 4, 1},     // generalised data
    {0x20, 2, 0, 0, 0},     // pause or stop the tape
    {0x21, 1, 0, 1, 1},     // group start
    {0x22, 0, 0, 0, 0},     // group end
    {0x23, 2, 0, 0, 0},     // jump
    {0x24, 2, 0, 0, 0},     // loop start
    {0x25, 0, 0, 0, 0},     // loop end
    {0x26, 2, 0, 2, 2},     // call sequence
    {0x27, 0, 0, 0, 0},     // return from sequence
    {0x28, 2, 0, 2, 1},     // select block
    {0x2A, 4, 0, 4, 1},     // stop the tape in 48K mode
    {0x2B, 4, 0, 4, 1},     // set signal level
    {0x30, 1, 0, 1, 1},     // text description
    {0x31, 2, 1, 1, 1},     // message
    {0x32, 2, 0, 2, 1},     // archive info
    {0x33, 1, 0, 1, 3},     // hardware type
    {0x34, 8, 0, 0, 0},     // emulation info (old)
    {0x35, 20, 16, 4, 1},   // custom info
    {0x40, 4, 1, 3, 1},     // snapshot (old)
    {0x5A, 9, 0, 0, 0},     // glue block
};

// Any other block starts with the length of the rest, in 4 bytes.
inline constexpr BlockLayout kOtherBlock{0, 4, 0, 4, 1};

// The layout of every ID, found by its value: every block of a load asks.
constexpr std::array<BlockLayout, 256> LayoutsById() {
  std::array<BlockLayout, 256> table{};
  table.fill(kOtherBlock);
  for (const BlockLayout& layout : kLayouts) table[layout.id] = layout;
  return table;
}
inline constexpr std::array<BlockLayout, 256> kLayoutsById = LayoutsById();

}  // namespace tzx_layout

// The size of a block's body (the bytes after its ID) from the first bytes of
// that body (left of them in the file), or nothing when the file ends before
// the count that gives it. Inline: a load asks at every block.
inline std::optional<std::uint64_t> TzxBodySize(std::uint8_t id, const std::uint8_t* body, std::uint64_t left) {
  const tzx_layout::BlockLayout& layout = tzx_layout::kLayoutsById[id];
  std::uint64_t count = 0;
  if (layout.countBytes > 0) {
    if (layout.countOffset + static_cast<std::uint64_t>(layout.countBytes) > left) return std::nullopt;
    for (int i = layout.countBytes - 1; i >= 0; --i) count = count * 256 + body[layout.countOffset + i];
  }
  return layout.fixedSize + count * layout.unitSize;
}

}  // namespace reelo
