// Every TZX block's size follows from the bytes after its ID, for the kinds
// the format defines, the old ones and any other ID; a count cut short by the
// end of the file gives no size.
#include "formats/tzx_blocks.h"

#include <gtest/gtest.h>

#include "tape_images.h"

namespace reelo {
namespace {

using namespace reelo::testing;

TEST(TzxBlocks, GivesTheSizeOfEveryBlockFromItsFirstBytes) {
  struct Case {
    const char* name;
    Bytes block;  // the ID, then the body (possibly cut)
    std::optional<std::uint64_t> bodySize;
  };
  const std::vector<Case> cases = {
      {"standard block", TzxRom(MakeDataBlock({1, 2, 3})), 4 + 5},
      {"turbo block", TzxTurbo({0xFF, 0x00, 0xFF}), 18 + 3},
      {"archive info", {0x32, 0x05, 0x00, 0x01, 0x00, 0x02, 'h', 'i'}, 7},
      {"pause", TzxPause(0), 2},
      {"message: its length is the second byte", {0x31, 0x05, 0x02, 'h', 'i'}, 4},
      {"custom info",
       {0x35, 'P', 'O', 'K', 'E', 'S', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 2, 0, 0, 0, 1, 2},
       22},
      {"hardware type: three bytes an entry", {0x33, 1, 0, 1, 2}, 4},
      {"call sequence: two bytes a call", {0x26, 0x02, 0x00, 0x01, 0x00, 0x02, 0x00}, 6},
      {"return from sequence", {0x27}, 0},
      {"emulation info (old)", {0x34, 1, 2, 3, 4, 5, 6, 7, 8}, 8},
      {"snapshot (old): a length in 3 bytes", {0x40, 0x00, 0x02, 0x00, 0x00, 0xAB, 0xCD}, 6},
      {"CSW recording", {0x18, 3, 0, 0, 0, 1, 2, 3}, 7},
      {"an ID the format does not define", TzxSkippable(0x4B, {1, 2}), 6},
      {"a length that runs past the end", {0x4B, 0xFF, 0xFF, 0, 0}, 4 + 0xFFFF},
      {"a standard block cut inside its length", {0x10, 0xE8, 0x03, 0x05}, std::nullopt},
      {"an undefined ID cut inside its length", {0x4B, 0xFF, 0xFF}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TzxBodySize(c.block[0], c.block.data() + 1, c.block.size() - 1), c.bodySize);
  }
}

}  // namespace
}  // namespace reelo
