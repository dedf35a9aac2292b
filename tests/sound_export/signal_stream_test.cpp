// The streaming generator: with the default options it is the export's signal
// sample for sample, however it is read; with other options its pulses have the
// lengths, counts and levels a tape deck or a Spectrum expects.
#include <gtest/gtest.h>

#include <vector>

#include "sound/export/signal_stream.h"
#include "sound/export/tape_signal.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;

TapeProject ProjectOf(std::vector<TapeBlock> blocks) {
  TapeProject project;
  project.blocks = std::move(blocks);
  return project;
}

const TapeProject& SampleTape() {
  static const TapeProject tape = ProjectOf({
      testing::MakeHeader(3, "screen", 6912, 16384, 32768),
      testing::MakeDataBlock(Bytes(300, 0xA5)),
      MakeRecord({}),                 // an empty record: length field only
      TapeBlock{0x05, 0x00, 0xFF, 1},  // damaged: shorter than its length says
      testing::MakeBlock(0x00, {0x80, 0x01}),
  });
  return tape;
}

// Everything the stream gives, read chunk by chunk; checks that no read spans two blocks.
std::vector<std::uint8_t> ReadAll(TapeSignalStream& stream, std::size_t chunk) {
  std::vector<std::uint8_t> all;
  std::vector<std::uint8_t> buffer(chunk * static_cast<std::size_t>(stream.bytesPerSample()));
  for (;;) {
    const int block = stream.block();
    const std::uint64_t before = stream.position();
    const std::size_t n = stream.Read(buffer.data(), chunk);
    if (n == 0) break;
    EXPECT_LE(before + n, stream.blockStart(block + 1)) << "a read crossed the end of block " << block;
    all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n) * stream.bytesPerSample());
  }
  EXPECT_TRUE(stream.done());
  EXPECT_EQ(stream.position(), stream.totalSamples());
  return all;
}

TEST(SignalStream, DefaultOptionsGiveTheExportSignalInAnyChunkSize) {
  std::vector<std::uint8_t> expected;
  SampleSink sink([&](const std::uint8_t* s, std::size_t n) {
    expected.insert(expected.end(), s, s + n);
    return true;
  });
  for (const TapeBlock& block : SampleTape().blocks) WriteBlockSignal(sink, block);
  sink.Flush();
  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, std::size_t{1} << 22}) {
    TapeSignalStream stream(SampleTape(), SignalOptions{});
    EXPECT_EQ(ReadAll(stream, chunk), expected) << "chunk " << chunk;
  }
}

// The lengths of the level runs of an 8-bit signal, and the first level.
std::vector<std::uint64_t> Runs(const std::vector<std::uint8_t>& samples, std::size_t limit) {
  std::vector<std::uint64_t> runs;
  for (std::size_t i = 0; i < samples.size() && runs.size() < limit;) {
    std::size_t j = i;
    while (j < samples.size() && samples[j] == samples[i]) ++j;
    runs.push_back(j - i);
    i = j;
  }
  return runs;
}

std::vector<std::uint8_t> Signal(const TapeBlock& block, const SignalOptions& options) {
  const TapeProject project = ProjectOf({block});
  TapeSignalStream stream(project, options);
  return ReadAll(stream, 65536);
}

TEST(SignalStream, PulsesAtOtherRatesAndTimings) {
  struct Row {
    const char* name;
    SignalOptions options;
    std::vector<std::uint8_t> firstBytes;  // literal levels
    std::vector<std::uint64_t> firstRuns;  // samples per pulse
  };
  const Row rows[] = {
      {"exact 44100", {44100, 8, false, SignalTimings::Exact}, {95, 95}, {26, 26, 26, 26}},
      // 13 samples at 22050 Hz are 28.3 at 48000: the pulse ends fall on 28, 56, 84, 113.
      {"exact 48000", {48000, 8, false, SignalTimings::Exact}, {95, 95}, {28, 28, 28, 29}},
      {"inverted", {22050, 8, true, SignalTimings::Exact}, {159, 159}, {13, 13, 13}},
      // 2168 T-states at 3.5 MHz are 13.66 samples: the pulse ends fall on 13, 27, 40, 54.
      {"rom 22050", {22050, 8, false, SignalTimings::Rom}, {95, 95}, {13, 14, 13, 14}},
      {"rom 44100", {44100, 8, false, SignalTimings::Rom}, {95, 95}, {27, 27, 27, 28}},
      {"16 bit", {22050, 16, false, SignalTimings::Exact}, {0x00, 0xE0, 0x00, 0xE0}, {}},
      {"16 bit inverted", {22050, 16, true, SignalTimings::Exact}, {0x00, 0x20, 0x00, 0x20}, {}},
  };
  const TapeBlock block = testing::MakeDataBlock({1, 2, 3});
  for (const Row& row : rows) {
    const std::vector<std::uint8_t> samples = Signal(block, row.options);
    ASSERT_GE(samples.size(), row.firstBytes.size()) << row.name;
    EXPECT_EQ(std::vector<std::uint8_t>(samples.begin(), samples.begin() + row.firstBytes.size()), row.firstBytes)
        << row.name;
    if (!row.firstRuns.empty()) {
      EXPECT_EQ(Runs(samples, row.firstRuns.size()), row.firstRuns) << row.name;
    }
    EXPECT_EQ(samples.size(), BlockSignalSamples(block, row.options) * (row.options.bitsPerSample / 8)) << row.name;
  }
}

TEST(SignalStream, PilotLengthFollowsTheFlagWithRomTimingsAndTheRecordLengthOtherwise) {
  struct Row {
    TapeBlock block;
    SignalTimings timings;
    std::size_t pilotPulses;
    int rate = 22050;
    std::vector<std::uint64_t> sync = {};  // the two sync pulses' samples, when given
  };
  const Row rows[] = {
      {testing::MakeBlock(0x00, Bytes(17, 0x20)), SignalTimings::Rom, 8063},
      {testing::MakeBlock(0xFF, Bytes(17, 0x20)), SignalTimings::Rom, 3223},
      // The ROM counts every flag below 128 as a header's.
      {testing::MakeBlock(0x01, Bytes(17, 0x20)), SignalTimings::Rom, 8063},
      {testing::MakeBlock(0x7F, Bytes(17, 0x20)), SignalTimings::Rom, 8063},
      {testing::MakeBlock(0x80, Bytes(17, 0x20)), SignalTimings::Rom, 3223},
      // Sync 667 then 735 T-states after 3223 x 2168: they end on samples
      // 95837 and 95847 at 48000 Hz.
      {testing::MakeBlock(0xFF, Bytes(17, 0x20)), SignalTimings::Rom, 3223, 48000, {9, 10}},
      {testing::MakeBlock(0x00, {1, 2}), SignalTimings::Rom, 8063},
      {testing::MakeBlock(0x00, Bytes(17, 0x20)), SignalTimings::Exact, 6002},
      {testing::MakeBlock(0xFF, Bytes(17, 0x20)), SignalTimings::Exact, 6002},
      {testing::MakeBlock(0x00, {1, 2}), SignalTimings::Exact, 3002},
  };
  for (const Row& row : rows) {
    const std::vector<std::uint64_t> runs = Runs(Signal(row.block, {row.rate, 8, false, row.timings}), 10000);
    std::size_t pilot = 0;
    while (pilot < runs.size() && runs[pilot] >= 13) ++pilot;
    EXPECT_EQ(pilot, row.pilotPulses) << "flag " << int(row.block[2]);
    if (!row.sync.empty() && pilot + 2 <= runs.size()) {
      EXPECT_EQ(std::vector<std::uint64_t>(runs.begin() + pilot, runs.begin() + pilot + 2), row.sync);
    }
  }
}

TEST(SignalStream, SeeksToABlockAndCountsThePositionFromTheTapeStart) {
  const SignalOptions rom{44100, 16, false, SignalTimings::Rom};
  for (const SignalOptions& options : {SignalOptions{}, rom}) {
    const TapeProject& tape = SampleTape();
    TapeSignalStream stream(tape, options, 3);
    EXPECT_EQ(stream.totalSamples(), ProjectSignalSamples(tape, options));
    std::uint64_t start = 0;
    for (int i = 0; i < 3; ++i) start += BlockSignalSamples(tape.blocks[static_cast<std::size_t>(i)], options);
    EXPECT_EQ(stream.position(), start);
    ReadAll(stream, 1000);
    stream.SeekBlock(1);
    EXPECT_EQ(stream.block(), 1);
    EXPECT_EQ(stream.position(), BlockSignalSamples(tape.blocks[0], options));
    stream.SeekBlock(99);
    EXPECT_TRUE(stream.done());
  }
  TapeProject empty;
  TapeSignalStream stream(empty, SignalOptions{});
  std::uint8_t sample = 0;
  EXPECT_TRUE(stream.done());
  EXPECT_EQ(stream.Read(&sample, 1), 0u);
}

}  // namespace
}  // namespace reelo
