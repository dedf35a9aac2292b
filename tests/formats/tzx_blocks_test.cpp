// The walk over a TZX file's blocks takes out what libspectrum would refuse
// the whole file for, and keeps every other block byte for byte.
#include "formats/tzx_blocks.h"

#include <gtest/gtest.h>

#include "tape_images.h"

namespace reelo {
namespace {

using namespace reelo::testing;

TEST(TzxBlocks, TakesOutUnknownBlocksAndCutsAtTheLastWholeBlock) {
  const Bytes rom = TzxRom(MakeDataBlock({1, 2, 3}));
  const Bytes turbo = TzxTurbo({0xFF, 0x00, 0xFF});
  struct Case {
    const char* name;
    Bytes file;
    Bytes kept;
    int control, text, unknown;
    std::uint64_t truncatedBytes;
  };
  const Bytes archive{0x32, 0x05, 0x00, 0x01, 0x00, 0x02, 'h', 'i'};
  const Bytes emulation{0x34, 1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes snapshot{0x40, 0x00, 0x02, 0x00, 0x00, 0xAB, 0xCD};
  const Bytes call{0x26, 0x02, 0x00, 0x01, 0x00, 0x02, 0x00};
  const Bytes message{0x31, 0x05, 0x02, 'h', 'i'};
  const Bytes custom{0x35, 'P', 'O', 'K', 'E', 'S', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 2, 0, 0, 0, 1, 2};
  const std::vector<Case> cases = {
      {"known blocks stay", Tzx({rom, turbo, archive, TzxPause(0)}), Tzx({rom, turbo, archive, TzxPause(0)}), 0, 0, 0,
       0},
      {"message, custom and hardware blocks stay", Tzx({rom, message, custom, {0x33, 1, 0, 1, 2}, turbo}),
       Tzx({rom, message, custom, {0x33, 1, 0, 1, 2}, turbo}), 0, 0, 0, 0},
      {"blocks libspectrum does not know go",
       Tzx({call, rom, emulation, TzxSkippable(0x4B, {1, 2}), snapshot, {0x27}, turbo}), Tzx({rom, turbo}), 2, 1, 2, 0},
      {"a block cut short goes with the rest of the file",
       [&] {
         Bytes f = Tzx({rom, turbo});
         f.pop_back();
         return f;
       }(),
       Tzx({rom}), 0, 0, 0, turbo.size() - 1},
      {"a skippable block whose length runs past the end", Tzx({rom, {0x4B, 0xFF, 0xFF}}), Tzx({rom}), 0, 0, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = c.file;
    const TzxWalk walk = CleanTzxBlocks(file);
    EXPECT_EQ(file, c.kept);
    EXPECT_EQ(walk.controlBlocksRemoved, c.control);
    EXPECT_EQ(walk.textBlocksRemoved, c.text);
    EXPECT_EQ(walk.unknownBlocksRemoved, c.unknown);
    EXPECT_EQ(walk.truncatedBytes, c.truncatedBytes);
  }
}

}  // namespace
}  // namespace reelo
