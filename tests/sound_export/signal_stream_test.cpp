// The streaming generator: with the default options it is the export's signal
// sample for sample, however it is read; with other options its pulses have the
// lengths, counts and levels a tape deck or a Spectrum expects.
#include <gtest/gtest.h>

#include <string>
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

// A tape of plain records with the player's choices, from its ticks alone:
// each pulse ends at (ticks so far) * rate / clock samples from its block's
// start, rounded down; levels low, high, low... (swapped when inverted), then
// the pause at rest. Exact: 22050 ticks a second, pilot 13 (3001 or 1501
// cycles by length 19), sync 5 + 5, bits 5 or 10 twice, a 0 byte after the
// record, pause 10001. ROM: 3500000 a second, pilot 2168 (8063 pulses for a
// flag below 128, else 3223), sync 667 + 735, bits 855 or 1710 twice, a
// closing pulse of 3500, pause 3500000.
Bytes ModelSignal(const TapeProject& project, const SignalOptions& options) {
  const bool rom = options.timings == SignalTimings::Rom;
  const std::uint64_t clock = rom ? 3500000 : 22050;
  Bytes out;
  auto put = [&](std::uint64_t count, int level) {  // level -1 low, 1 high, 0 rest
    const int level8 = level < 0 ? 95 : level > 0 ? 159 : 127;
    const auto level16 = static_cast<std::uint16_t>(level * 8192);
    for (std::uint64_t i = 0; i < count; ++i) {
      if (options.bitsPerSample == 8) {
        out.push_back(static_cast<std::uint8_t>(level8));
      } else {
        out.push_back(static_cast<std::uint8_t>(level16 & 0xFF));
        out.push_back(static_cast<std::uint8_t>(level16 >> 8));
      }
    }
  };
  for (const TapeBlock& block : project.blocks) {
    const std::size_t length = ByteAt(block, 0) + ByteAt(block, 1) * 256;
    std::vector<std::uint64_t> pulses;
    const std::size_t pilot = rom ? (ByteAt(block, 2) < 0x80 ? 8063 : 3223) : (length == 19 ? 3001 : 1501) * 2;
    pulses.insert(pulses.end(), pilot, rom ? 2168 : 13);
    pulses.push_back(rom ? 667 : 5);
    pulses.push_back(rom ? 735 : 5);
    for (std::size_t i = 0; i < length + (rom ? 0 : 1); ++i) {
      const std::uint8_t byte = i < length ? ByteAt(block, 2 + static_cast<long long>(i)) : 0;
      for (int bit = 7; bit >= 0; --bit) {
        const std::uint64_t pulse = ((byte >> bit) & 1) != 0 ? (rom ? 1710 : 10) : (rom ? 855 : 5);
        pulses.insert(pulses.end(), 2, pulse);
      }
    }
    if (rom) pulses.push_back(3500);
    std::uint64_t ticks = 0, at = 0;
    int level = options.inverted ? 1 : -1;
    for (std::uint64_t pulse : pulses) {
      ticks += pulse;
      const std::uint64_t end = ticks * static_cast<std::uint64_t>(options.sampleRate) / clock;
      put(end - at, level);
      at = end;
      level = -level;
    }
    ticks += rom ? 3500000 : 10001;
    put(ticks * static_cast<std::uint64_t>(options.sampleRate) / clock - at, 0);
  }
  return out;
}

// Whatever the size of the reads (a few samples, about a pulse, exactly the
// room of one whole pulse's copy, large), every choice gives the model's
// samples.
TEST(SignalStream, ChoicesGiveTheModelSignalInAnyReadSize) {
  struct Row {
    const char* name;
    SignalOptions options;
  };
  const Row rows[] = {
      {"exact_44100_16", {44100, 16, false, SignalTimings::Exact}},
      {"exact_48000_8_inverted", {48000, 8, true, SignalTimings::Exact}},
      {"rom_22050_8", {22050, 8, false, SignalTimings::Rom}},
      {"rom_44100_8", {44100, 8, false, SignalTimings::Rom}},
      {"rom_48000_16_inverted", {48000, 16, true, SignalTimings::Rom}},
  };
  for (const Row& row : rows) {
    const Bytes model = ModelSignal(SampleTape(), row.options);
    for (std::size_t chunk : {7, 31, 32, 33, 63, 64, 65, 65536}) {
      SCOPED_TRACE(std::string(row.name) + " chunk " + std::to_string(chunk));
      TapeSignalStream stream(SampleTape(), row.options);
      EXPECT_EQ(ReadAll(stream, chunk), model);
    }
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
