// Round trips: a project exported by the program's own WAV writer decodes with
// the default bounds into exactly its records, report lines included.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "project/progress.h"
#include "sound/export/wav_writer.h"
#include "sound/import/loaded_blocks.h"
#include "sound/import/tape_decoder.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::FakeHost;
using testing::TempDir;

struct RoundTripCase {
  std::string name;
  std::vector<TapeBlock> blocks;
};

std::vector<TapeBlock> ManySmallBlocks() {
  std::vector<TapeBlock> blocks;
  for (int i = 0; i < 40; ++i) {
    blocks.push_back(testing::MakeDataBlock(testing::RandomBytes(static_cast<std::size_t>(i), static_cast<unsigned>(i))));
  }
  return blocks;
}

std::vector<RoundTripCase> RoundTripCases() {
  return {
      {"Empty", {}},
      {"TwoByteRecordOfOnes", {testing::MakeRawRecord({0xFF, 0xFF})}},
      {"FlagOnly", {testing::MakeRawRecord({0xAA})}},
      {"ZeroBytes", {testing::MakeRawRecord(Bytes(20, 0x00))}},
      {"LengthNineteenWithDataFlag", {testing::MakeBlock(0xFF, Bytes(17, 0))}},
      {"WrongChecksumAsStored", {testing::MakeRawRecord({0xFF, 0x01, 0x00})}},
      {"ScreenHeaderAndData",
       {testing::MakeHeader(3, "screen", 6912, 16384), testing::MakeDataBlock(testing::RandomBytes(6912, 5))}},
      {"ProgramAndBigCode",
       {testing::MakeHeader(0, "loader", 100, 10, 100), testing::MakeDataBlock(testing::RandomBytes(98, 8)),
        testing::MakeHeader(3, "code", 49152, 16384), testing::MakeDataBlock(testing::RandomBytes(49152, 9))}},
      {"LongestRecord", {testing::MakeRawRecord(testing::RandomBytes(kMaxRecordLength, 11))}},
      {"ManySmallBlocks", ManySmallBlocks()},
  };
}

class WavRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(WavRoundTrip, DecodesIntoTheSameRecords) {
  const auto& c = GetParam();
  TapeProject original;
  original.blocks = c.blocks;
  TempDir dir;
  const std::string path = (dir / "tape.wav").string();
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(original, path, progress).ok());

  ImportState state;
  FakeHost host;
  ASSERT_TRUE(DecodeTape(state, PulseBounds{}, path, host).ok());
  EXPECT_TRUE(state.loadedBlocks == c.blocks) << "decoded " << state.loadedBlockCount() << " of " << c.blocks.size();

  std::vector<std::string> lines{kReportLoading};
  for (const auto& block : c.blocks) {
    lines.push_back(kReportDataFound);
    lines.push_back(BlockReportLine(RecordLength(block)));
  }
  lines.push_back(kReportFinished);
  lines.push_back(BlocksFoundLine(static_cast<int>(c.blocks.size())));
  EXPECT_EQ(host.lines, lines);
  EXPECT_TRUE(host.questions.empty());

  TapeProject imported;
  ASSERT_TRUE(AddLoadedBlocks(imported, state).ok());
  EXPECT_TRUE(imported.blocks == original.blocks);
}

INSTANTIATE_TEST_SUITE_P(Exported, WavRoundTrip, ::testing::ValuesIn(RoundTripCases()),
                         [](const auto& info) { return info.param.name; });

// A record of length 0 has no flag and no checksum to carry: the export sends
// only the byte after it, whose last bit runs into the pause, so the decoder
// sees the signal lost before a whole byte and the next record is unharmed.
TEST(WavRoundTrip, RecordOfLengthZeroIsReportedLost) {
  TapeProject original;
  original.blocks = {testing::MakeRawRecord({}), testing::MakeDataBlock({1, 2, 3})};
  TempDir dir;
  const std::string path = (dir / "tape.wav").string();
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(original, path, progress).ok());
  ImportState state;
  FakeHost host;
  ASSERT_TRUE(DecodeTape(state, PulseBounds{}, path, host).ok());
  EXPECT_EQ(state.loadedBlocks, (std::vector<TapeBlock>{original.blocks[1]}));
  EXPECT_EQ(host.lines, (std::vector<std::string>{kReportLoading, kReportDataFound, kReportSignalLost,
                                                  kReportDataFound, BlockReportLine(5), kReportFinished,
                                                  BlocksFoundLine(1)}));
}

}  // namespace
}  // namespace reelo
