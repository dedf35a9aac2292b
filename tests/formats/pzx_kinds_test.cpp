// PZX tapes read onto the TZX kinds: each row is a PZX file and the TZX blocks
// it is saved as. Damaged PZX files load what can be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/tape_file.h"
#include "formats/tzx_file.h"
#include "project/block_list.h"
#include "recording_progress.h"
#include "tape_images.h"

namespace reelo {
namespace {

using namespace reelo::testing;

const TapeBlock kHeader = MakeHeader(3, "screen", 6912);
const TapeBlock kData = MakeDataBlock(RandomBytes(20, 7));

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The tape as a TZX file holds it.
Bytes SavedAsTzx(const std::vector<TapeBlock>& blocks) {
  Bytes out;
  AppendTzxHeader(out);
  for (const TapeBlock& block : blocks) AppendTzxBlock(out, block);
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(PzxKinds, EveryPzxBlockBecomesItsTzxKind) {
  const Bytes romPilot = PzxBlock("PULS", Words({0x8000 | 3223, 2168, 667, 735}));
  Bytes turbo = TzxTurbo(Body(kData));
  turbo[13] = 6;                     // used bits
  turbo[14] = 0xF4, turbo[15] = 1;   // 500 ms
  Bytes turboData = Body(kData);
  Bytes pureData{0x14};
  for (int v : {855, 1710}) PutWord(pureData, static_cast<std::uint32_t>(v), 2);
  pureData.insert(pureData.end(), {8, 0, 0, 22, 0, 0});
  pureData.insert(pureData.end(), turboData.begin(), turboData.end());
  // Length, pause, no pilot symbols, 8 data symbols of up to 2 pulses from an
  // alphabet of 2: a 0 is one pulse of 500, a 1 two; then the data byte.
  const Bytes generalised = {0x19, 25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 2, 2,
                             0,    0xF4, 1, 0, 0, 0, 0xF4, 1, 0xF4, 1, 0xA5};
  struct Row {
    const char* name;
    Bytes pzx;
    Bytes tzx;  // the blocks after the TZX header
    int unknown;
  };
  const std::vector<Row> rows = {
      {"ROM header and data with their pauses",
       PzxFile({PzxBlock("PULS", Words({0x8000 | 8063, 2168, 667, 735})), PzxRomData(kHeader), PzxPause(3500000), romPilot,
            PzxRomData(kData), PzxPause(7000000)}),
       Cat({TzxRom(kHeader, 1000), TzxRom(kData, 2000)}), 0},
      {"turbo with its timings, 6 bits in the last byte and a pause of 0.5 s",
       PzxFile({PzxBlock("PULS", Words({0x8000 | 3000, 1500, 400, 450})),
            PzxData(static_cast<std::uint32_t>(turboData.size() * 8 - 2), 945, {500, 500}, {1000, 1000}, turboData),
            PzxPause(1750000)}),
       turbo, 0},
      {"a pause of no whole ms stays a block of its own, the tail pulse kept",
       PzxFile({romPilot, PzxRomData(kData), PzxPause(3500001)}),
       Cat({TzxRom(kData, 0), TzxPulses({945}), TzxPause(1000)}), 0},
      {"a tone, single pulses and a pulse too long for one field",
       PzxFile({PzxBlock("PULS", Words({0x8000 | 100, 2168, 667, 735, 0x8001, 0x8001, 34464}))}),
       Cat({TzxPureTone(2168, 100), TzxPulses({667, 735, 65535, 0, 34465})}), 0},
      {"data without a pilot is pure data", PzxFile({PzxRomData(kData, 0)}), pureData, 0},
      {"data of other pulses is generalised data", PzxFile({PzxData(8, 0, {500}, {500, 500}, {0xA5})}), generalised, 0},
      {"stops, a browse point, a short pause and the header's information",
       PzxFile({PzxBlock("STOP", {0, 0}), PzxBlock("STOP", {1, 0}), PzxBlock("BRWS", Text("Level 2")), PzxPause(100)},
           Cat({Text("Game"), {0}, Text("Author"), {0}, Text("Me"), {0}, Text("Note"), {0}, Text("x"), {0}})),
       Cat({{0x32, 20, 0, 3, 0x00, 4, 'G', 'a', 'm', 'e', 0x02, 2, 'M', 'e', 0xFF, 7, 'N', 'o', 't', 'e', ':', ' ',
             'x'},
            TzxPause(0),
            {0x2A, 0, 0, 0, 0},
            TzxText(0x30, "Level 2"),
            TzxPause(1)}),
       0},
      {"the longest pause, in pauses of at most 65.535 s",
       PzxFile({PzxPause(0x7FFFFFFF)}),
       Cat({TzxPause(65535), TzxPause(65535), TzxPause(65535), TzxPause(65535), TzxPause(65535), TzxPause(65535),
            TzxPause(65535), TzxPause(65535), TzxPause(65535), TzxPause(23752)}),
       0},
      {"data of no bits leaves its tail pulse", PzxFile({PzxData(0, 945, {855, 855}, {1710, 1710}, {})}),
       TzxPulses({945}), 0},
      {"data longer than its block is left out", PzxFile({PzxData(800, 0, {855, 855}, {1710, 1710}, {1, 2})}), {}, 1},
      {"data without pulses for its bits is left out", PzxFile({PzxData(8, 0, {}, {}, {1})}), {}, 1},
      {"pulses of no length are kept", PzxFile({PzxBlock("PULS", Words({0, 0, 1000}))}), TzxPulses({0, 0, 1000}), 0},
      {"a pulse cut in its count is left out", PzxFile({PzxBlock("PULS", Words({1000, 0x8005}))}), TzxPulses({1000}),
       0},
      {"a block TZX has no place for is left out and counted",
       PzxFile({PzxBlock("XTRA", {1, 2, 3}), PzxBlock("PULS", Words({1000}))}), TzxPulses({1000}), 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    WriteFileBytes(dir / "tape.pzx", row.pzx);
    TapeProject project;
    NullProgress progress;
    TapeLoadCounts counts;
    const OpResult result = LoadTapeFile(project, (dir / "tape.pzx").string(), progress, &counts);
    ASSERT_NE(result.kind, OpResult::Kind::Error) << result.detail;
    EXPECT_EQ(SavedAsTzx(project.blocks), Tzx({row.tzx}));
    EXPECT_EQ(counts.unknown, row.unknown);
  }
}

// Six bytes of a PULS block can ask for 32767 pulses of 2^31 T-states each,
// billions of pulse sequences: the tape fills to its 1000 blocks and the rest
// is counted as left out, quickly and in little memory.
TEST(PzxKinds, PulsesBeyondTheTapesRoomAreCountedNotMade) {
  TempDir dir;
  WriteFileBytes(dir / "long.pzx", PzxFile({PzxBlock("PULS", Words({0xFFFF, 0xFFFF, 0xFFFF}))}));
  TapeProject project;
  NullProgress progress;
  TapeLoadCounts counts;
  const OpResult result = LoadTapeFile(project, (dir / "long.pzx").string(), progress, &counts);
  EXPECT_EQ(result.kind, OpResult::Kind::Warning) << result.detail;
  EXPECT_EQ(project.blockCount(), 1000);
  EXPECT_GT(counts.recordsLeftOut, 8000000);
}

// Every PZX cut at every byte, and headers that say nothing can be read.
TEST(PzxKinds, DamagedPzxLoadsWhatCanBeReadOrSaysWhy) {
  const Bytes whole = PzxFile({PzxBlock("PULS", Words({0x8000 | 3223, 2168, 667, 735})), PzxRomData(kData), PzxPause(3500000),
                           PzxBlock("BRWS", Text("x")), PzxBlock("STOP", {0, 0}), PzxData(8, 0, {500}, {500, 500}, {1})},
                          Cat({Text("Game"), {0}}));
  for (std::size_t cut = 4; cut < whole.size(); ++cut) {
    SCOPED_TRACE(cut);
    TempDir dir;
    WriteFileBytes(dir / "cut.pzx", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
    TapeProject project;
    NullProgress progress;
    const OpResult result = LoadTapeFile(project, (dir / "cut.pzx").string(), progress);
    if (cut < 15) {  // inside the header block
      EXPECT_EQ(result.kind, OpResult::Kind::Error);
      EXPECT_EQ(result.detail, "файл обрывается в заголовке");
    } else {
      EXPECT_NE(result.kind, OpResult::Kind::Error) << result.detail;
      EXPECT_LE(project.blockCount(), 6);
    }
  }
  Bytes version2 = whole;
  version2[8] = 2;
  TempDir dir;
  WriteFileBytes(dir / "v2.pzx", version2);
  TapeProject project;
  NullProgress progress;
  const OpResult result = LoadTapeFile(project, (dir / "v2.pzx").string(), progress);
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.detail, "неподдерживаемая версия формата");
}

}  // namespace
}  // namespace reelo
