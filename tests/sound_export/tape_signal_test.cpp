#include "sound/export/tape_signal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signal_runs.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::kRest;
using testing::SignalRun;
using testing::SignalRuns;

Bytes SignalOf(const std::vector<TapeBlock>& blocks, std::size_t chunkSize = SampleSink::kDefaultChunkSize) {
  Bytes samples;
  SampleSink sink(
      [&samples](const std::uint8_t* data, std::size_t count) {
        samples.insert(samples.end(), data, data + count);
        return true;
      },
      chunkSize);
  for (const auto& block : blocks) WriteBlockSignal(sink, block);
  EXPECT_TRUE(sink.Flush());
  EXPECT_EQ(sink.count(), samples.size());
  return samples;
}

Bytes SignalOf(const TapeBlock& block) { return SignalOf(std::vector<TapeBlock>{block}); }

// ---- Golden signals: {half-length, cycles} runs, then the pause in samples ----
// The sync cycle has the half-length of a 0 bit, so "{5, 1 + 8}" reads as the
// sync cycle followed by eight 0 bits.

struct GoldenCase {
  std::string name;
  TapeBlock block;
  std::vector<SignalRun> runs;
};

Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

std::vector<GoldenCase> GoldenCases() {
  return {
      {"TwoByteRecordOfOnes", testing::MakeRawRecord({0xFF, 0xFF}),
       {{13, 1501}, {5, 1}, {10, 16}, {5, 8}, {kRest, 10001}}},
      // 0x13 = 0001 0011, most significant bit first; then the 0 after the record.
      {"Byte13IsSentMostSignificantBitFirst", testing::MakeRawRecord({0x13}),
       {{13, 1501}, {5, 1 + 3}, {10, 1}, {5, 2}, {10, 2}, {5, 8}, {kRest, 10001}}},
      {"RecordOfLengthZeroSendsOneZeroByte", testing::MakeRawRecord({}),
       {{13, 1501}, {5, 1 + 8}, {kRest, 10001}}},
      {"RecordOfLength18GetsShortPilot", testing::MakeRawRecord(Zeros(18)),
       {{13, 1501}, {5, 1 + 8 * 19}, {kRest, 10001}}},
      {"RecordOfLength19GetsLongPilot", testing::MakeRawRecord(Zeros(19)),
       {{13, 3001}, {5, 1 + 8 * 20}, {kRest, 10001}}},
      // Flag 0xFF, 17 zero bytes, checksum 0xFF: a "data" flag on a header-length record.
      {"RecordOfLength19WithDataFlagGetsLongPilot", testing::MakeBlock(0xFF, Zeros(17)),
       {{13, 3001}, {5, 1}, {10, 8}, {5, 8 * 17}, {10, 8}, {5, 8}, {kRest, 10001}}},
      {"RecordOfLength20GetsShortPilot", testing::MakeRawRecord(Zeros(20)),
       {{13, 1501}, {5, 1 + 8 * 21}, {kRest, 10001}}},
      // The checksum should be 0xFE; it is sent as stored.
      {"WrongChecksumIsSentAsStored", testing::MakeRawRecord({0xFF, 0x01, 0x00}),
       {{13, 1501}, {5, 1}, {10, 8}, {5, 7}, {10, 1}, {5, 16}, {kRest, 10001}}},
      // Length 3 but only the flag present: the missing bytes go out as 0.
      {"MissingBytesOfADamagedRecordAreZero", TapeBlock{3, 0, 0xFF},
       {{13, 1501}, {5, 1}, {10, 8}, {5, 8 * 3}, {kRest, 10001}}},
      // Stray bytes past the record are not sent: the byte after it is 0.
      {"BytesPastTheRecordAreNotSent", TapeBlock{1, 0, 0x00, 0xFF, 0xFF},
       {{13, 1501}, {5, 1 + 16}, {kRest, 10001}}},
  };
}

void PrintTo(const GoldenCase& golden, std::ostream* out) { *out << golden.name; }

class GoldenSignal : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenSignal, MatchesTheRuns) {
  const auto& param = GetParam();
  const Bytes samples = SignalOf(param.block);
  EXPECT_EQ(SignalRuns(samples), param.runs);
  EXPECT_EQ(BlockSignalLength(param.block), samples.size());
}

INSTANTIATE_TEST_SUITE_P(TapeSignal, GoldenSignal, ::testing::ValuesIn(GoldenCases()),
                         [](const auto& info) { return info.param.name; });

// ---- Lengths computed in advance agree with the samples written ----

std::vector<TapeBlock> AssortedBlocks() {
  return {
      TapeBlock{},
      TapeBlock{7},
      testing::MakeRawRecord({}),
      testing::MakeRawRecord({0x42}),
      testing::MakeHeader(0, "program", 1234, 10, 1234),
      testing::MakeDataBlock(testing::RandomBytes(6912, 3)),
      testing::MakeDataBlock(Bytes(1000, 0xFF)),
      testing::MakeRawRecord(testing::RandomBytes(65535, 4)),
  };
}

TEST(TapeSignal, LengthsMatchTheSamplesWritten) {
  TapeProject project;
  EXPECT_EQ(ProjectSignalLength(project), 0u);
  project.blocks = AssortedBlocks();
  for (const auto& block : project.blocks) {
    SCOPED_TRACE("record length " + std::to_string(RecordLength(block)));
    EXPECT_EQ(BlockSignalLength(block), SignalOf(block).size());
  }
  EXPECT_EQ(ProjectSignalLength(project), SignalOf(project.blocks).size());
}

// ---- Block boundaries ----

TEST(TapeSignal, NextPilotFollowsThePauseDirectly) {
  const auto first = testing::MakeHeader(3, "screen", 6912, 16384);
  const auto second = testing::MakeRawRecord({0xFF, 0xFF});
  const Bytes samples = SignalOf({first, second});
  const auto firstLength = BlockSignalLength(first);
  ASSERT_EQ(samples.size(), firstLength + BlockSignalLength(second));
  EXPECT_EQ(samples.front(), kLowLevel);
  EXPECT_EQ(samples[firstLength - 1], kRestLevel);
  EXPECT_EQ(samples[firstLength], kLowLevel);
  EXPECT_EQ(samples.back(), kRestLevel);
  const auto runs = SignalRuns(samples);
  ASSERT_GE(runs.size(), 3u);
  EXPECT_EQ(runs[runs.size() - 1], (SignalRun{kRest, 10001}));
  EXPECT_EQ(runs[0], (SignalRun{13, 3001}));
}

TEST(TapeSignal, SignalIsTheSameWhateverTheChunkSize) {
  const std::vector<TapeBlock> blocks = {testing::MakeHeader(3, "code", 300), testing::MakeDataBlock(
                                                                                  testing::RandomBytes(300, 9))};
  const Bytes reference = SignalOf(blocks);
  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{26}, std::size_t{10001}}) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    EXPECT_EQ(SignalOf(blocks, chunk), reference);
  }
}

// The sink hands on chunks of exactly its size and lets a byte's run spill
// past the chunk's end; wherever the chunk's edge falls (inside a byte's run,
// at a block's end, inside a pause, one sample into the data), the samples
// are those of the model, and every chunk but the last is whole.
TEST(TapeSignal, ChunkEdgesAnywhereGiveTheModelSignal) {
  const std::vector<TapeBlock> blocks = {
      testing::MakeHeader(3, "edges", 300),
      testing::MakeDataBlock(testing::RandomBytes(300, 21)),
      // A damaged record: its length field says 50, it holds 20 bytes.
      TapeBlock{50, 0, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19},
      TapeBlock{3},  // no second length byte: a record of length 3 with no bytes
      testing::MakeRawRecord(Bytes(40, 0xFF)),
  };
  const Bytes model = testing::ModelSignal(blocks);
  const std::size_t headerBlock = testing::ModelSignal({blocks[0]}).size();
  const std::size_t headerLead = 3001 * 26 + 10;  // pilot and sync of the first block
  ASSERT_EQ(headerBlock, 90037u);  // 78036 + 10, 21 bytes of 80 with 32 one bits of 10 more, 10001
  struct Row {
    const char* name;
    std::size_t chunk;
  };
  const Row rows[] = {
      {"every_sample", 1},
      {"shorter_than_a_byte", 100},
      {"one_less_than_the_longest_byte", 159},
      {"the_longest_byte", 160},
      {"one_more_than_the_longest_byte", 161},
      {"one_sample_into_the_data", headerLead + 1},
      {"at_the_first_block_end", headerBlock},
      {"inside_the_first_pause", headerBlock - 5000},
      {"one_chunk_for_all", std::size_t{1} << 20},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::size_t> calls;
    const Bytes samples = [&] {
      Bytes out;
      SampleSink sink(
          [&](const std::uint8_t* data, std::size_t count) {
            out.insert(out.end(), data, data + count);
            calls.push_back(count);
            return true;
          },
          row.chunk);
      for (const auto& block : blocks) WriteBlockSignal(sink, block);
      EXPECT_TRUE(sink.Flush());
      EXPECT_EQ(sink.count(), model.size());
      return out;
    }();
    EXPECT_EQ(samples, model);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.size(), (model.size() + row.chunk - 1) / row.chunk);
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) ASSERT_EQ(calls[i], row.chunk) << "call " << i;
  }
}

}  // namespace
}  // namespace reelo

namespace reelo {
namespace {

// The levels themselves, as literal sample values: a cycle is 95 then 159, and
// the pause after a block is 127.
TEST(TapeSignal, LevelsAreTheLiteralSampleValues) {
  const Bytes samples = SignalOf({testing::MakeRawRecord({0xFF})});
  ASSERT_GT(samples.size(), 26u + 10001u);
  EXPECT_EQ(Bytes(samples.begin(), samples.begin() + 26), testing::Concat({Bytes(13, 95), Bytes(13, 159)}));
  // The last data cycle: the byte after the checksum is 0, so a 0 bit (5 + 5) ends the data.
  const std::size_t pause = samples.size() - 10001;
  EXPECT_EQ(Bytes(samples.begin() + static_cast<std::ptrdiff_t>(pause) - 10, samples.end()),
            testing::Concat({Bytes(5, 95), Bytes(5, 159), Bytes(10001, 127)}));
}

}  // namespace
}  // namespace reelo
