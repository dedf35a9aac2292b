// Pulse measurement on crafted byte strings: positions count from 1, F is the
// file length, and every case runs with buffers small enough to split it.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/pulse_measure.h"

namespace reelo {
namespace {

using testing::ByteByByte;

using testing::Bytes;
using testing::FakeHost;
using testing::TempDir;

struct MeasureCase {
  std::string name;
  Bytes samples;  // the whole file; position 1 is samples[0]
  std::int64_t start;
  int length;
  std::int64_t positionAfter;
};

Bytes Run(std::uint8_t level, std::size_t count) { return Bytes(count, level); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<MeasureCase> MeasureCases() {
  return {
      {"ExportCycleMeasuresItsHalfLength", Join({Run(95, 5), Run(159, 5), Run(95, 5)}), 1, 5, 12},
      {"SingleHighSampleIsLengthOne", {160, 90, 127, 127}, 1, 1, 3},
      {"RestLevelContinuesAHighHalfWave", {200, 127, 127, 127, 100, 127, 127}, 1, 4, 6},
      {"RestLevelContinuesALowStretch", {127, 127, 200, 100, 127, 127}, 1, 1, 5},
      {"ThresholdsAre128And126", {127, 128, 127, 126, 127, 127}, 1, 2, 5},
      {"ThousandSamplesIsTheLongestPulse", Join({{200}, Run(200, 999), {90}, Run(127, 3)}), 1, 1000, 1002},
      {"ThousandAndOneSamplesIsZero", Join({{200}, Run(200, 1000), {90}, Run(127, 3)}), 1, 0, 1003},
      {"ExportPauseAfterALastBitIsZero", Join({Run(159, 5), Run(127, 10001), {95}, Run(127, 3)}), 1, 0, 10008},
      {"FlatRestReadsToTheEnd", Run(127, 300), 1, 0, 301},
      {"FlatLowReadsToTheEnd", Run(90, 300), 1, 0, 301},
      {"RiseInTheLastByteStartsNoPulse", {127, 127, 200}, 1, 0, 4},
      {"RiseJustBeforeTheLastByte", {127, 200, 90}, 1, 0, 4},
      {"FallInTheLastButOneByteEndsNothing", {200, 90, 127}, 1, 0, 3},
      {"FallThreeFromTheEndEndsThePulse", {200, 90, 127, 127}, 1, 1, 3},
      {"HighUntilTheEnd", Run(200, 50), 1, 0, 50},
      // 64 samples from the start: a fall in the last but one ends nothing, one before it does.
      {"LongPulseFallingInTheLastButOneByte", Join({Run(90, 10), Run(200, 52), {90}, {127}}), 1, 0, 64},
      {"LongPulseFallingThreeFromTheEnd", Join({Run(90, 10), Run(200, 52), {90}, {127}, {127}}), 1, 52, 64},
      {"StartBeyondTheEndIsOneRead", {200, 90, 127}, 10, 0, 11},
      {"StartJustPastTheEnd", {200, 90, 127}, 4, 0, 5},
      {"StartInsideAHighStretchCountsFromThere", {200, 200, 200, 90, 127, 127}, 2, 2, 5},
      {"EmptyFile", {}, 1, 0, 2},
  };
}

class MeasurePulseTest : public ::testing::TestWithParam<std::tuple<MeasureCase, std::size_t>> {};

TEST_P(MeasurePulseTest, LengthAndPositionAfter) {
  const auto& [c, bufferSize] = GetParam();
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", c.samples);
  RecordingReader recording(bufferSize);
  ASSERT_TRUE(recording.Open((dir / "r.wav").string()).ok());
  FakeHost host;
  Pacer pacer = EventsPacer(host);
  std::int64_t position = c.start;
  EXPECT_EQ(MeasurePulse(recording, position, pacer), c.length);
  EXPECT_EQ(position, c.positionAfter);
}

INSTANTIATE_TEST_SUITE_P(Rules, MeasurePulseTest,
                         ::testing::Combine(::testing::ValuesIn(MeasureCases()), ::testing::Values(1, 3, 4096)),
                         [](const auto& info) {
                           return std::get<0>(info.param).name + "_Buffer" + std::to_string(std::get<1>(info.param));
                         });

// Successive measurements over a signal give its half-lengths, golden-table style.
TEST(MeasurePulse, ReadsTheHighHalfOfEveryCycleInTurn) {
  testing::Signal signal;
  signal.Pulses({13, 13, 5, 10, 5, 1, 40}).Level(95, 3).Level(127, 3);
  TempDir dir;
  const auto path = signal.Write(dir);
  for (std::size_t bufferSize : {std::size_t{2}, std::size_t{7}, kRecordingBufferSize}) {
    RecordingReader recording(bufferSize);
    ASSERT_TRUE(recording.Open(path.string()).ok());
    FakeHost host;
    Pacer pacer = EventsPacer(host);
    std::int64_t position = kDecodeStartPosition;
    std::vector<int> lengths;
    while (position <= recording.length()) lengths.push_back(MeasurePulse(recording, position, pacer));
    EXPECT_EQ(lengths, (std::vector<int>{13, 13, 5, 10, 5, 1, 40, 0})) << "buffer " << bufferSize;
  }
}

// The window gets its events by time even inside one long half-wave.
TEST(MeasurePulse, YieldsByTimeNotByPulse) {
  TempDir dir;
  testing::WriteFileBytes(dir / "flat.wav", Bytes(1 << 20, 127));
  RecordingReader recording;
  ASSERT_TRUE(recording.Open((dir / "flat.wav").string()).ok());

  FakeHost eager;  // interval 0: every clock check yields
  Pacer eagerPacer = EventsPacer(eager);
  std::int64_t position = 1;
  EXPECT_EQ(MeasurePulse(recording, position, eagerPacer), 0);
  EXPECT_GE(eager.yields, (1 << 20) / kSamplesPerClockCheck - 1);

  FakeHost patient;
  patient.interval = std::chrono::hours(1);
  Pacer patientPacer = EventsPacer(patient);
  position = 1;
  MeasurePulse(recording, position, patientPacer);
  EXPECT_EQ(patient.yields, 0);
}


// Stretches of the threshold levels, mostly as long as real pulses, now and
// then longer than the 64 samples looked at together or than the longest pulse.
Bytes RandomSignal(unsigned seed, std::size_t size) {
  std::mt19937 gen(seed);
  const std::uint8_t levels[] = {0, 90, 126, 127, 128, 200, 255};
  Bytes out;
  while (out.size() < size) {
    const unsigned kind = gen() % 20;
    const std::size_t run = kind == 0 ? 1 + gen() % 1200 : kind < 4 ? 30 + gen() % 60 : 1 + gen() % 16;
    out.insert(out.end(), std::min(run, size - out.size()), levels[gen() % std::size(levels)]);
  }
  return out;
}

struct Pulse {
  int length;
  std::int64_t positionAfter;
  bool operator==(const Pulse&) const = default;
};

const char* SearchName(LevelSearch search) {
  switch (search) {
    case LevelSearch::Scalar: return "scalar";
    case LevelSearch::Sse2: return "sse2";
    case LevelSearch::Avx2: return "avx2";
  }
  return "?";
}

// Puts back the search chosen at start when a test has chosen another.
struct SearchChoice {
  const LevelSearch chosen = CurrentLevelSearch();
  ~SearchChoice() { UseLevelSearch(chosen); }
};

// One pulse at a time, with a cursor that looks at 64 or 4096 samples at once,
// and in batches, over buffers that split the 64-sample groups anywhere, with
// every level search the processor has: the same pulses and positions as the
// byte-by-byte rule, from a start before the file to the end.
TEST(MeasurePulse, GroupsOfSamplesMeasureAsByteByByte) {
  TempDir dir;
  SearchChoice restore;
  for (LevelSearch search : {LevelSearch::Scalar, LevelSearch::Sse2, LevelSearch::Avx2}) {
    if (!UseLevelSearch(search)) continue;
    for (unsigned seed : {1u, 2u, 3u}) {
      for (std::size_t size : {std::size_t{63}, std::size_t{130}, std::size_t{20000}}) {
        const Bytes rec = RandomSignal(seed, size);
        testing::WriteFileBytes(dir / "r.wav", rec);
        std::vector<Pulse> expected;
        for (std::int64_t p = -3; p <= static_cast<std::int64_t>(size);) {
          const int length = ByteByByte(rec, p);
          expected.push_back({length, p});
        }
        for (std::size_t bufferSize : {std::size_t{1}, std::size_t{64}, std::size_t{100}, kRecordingBufferSize}) {
          SCOPED_TRACE(std::string(SearchName(search)) + ", seed " + std::to_string(seed) + ", size " +
                       std::to_string(size) + ", buffer " + std::to_string(bufferSize));
          RecordingReader recording(bufferSize);
          ASSERT_TRUE(recording.Open((dir / "r.wav").string()).ok());
          FakeHost host;
          Pacer pacer = EventsPacer(host);
          std::vector<Pulse> single;
          for (std::int64_t p = -3; p <= recording.length();) {
            const int length = MeasurePulse(recording, p, pacer);
            single.push_back({length, p});
          }
          EXPECT_EQ(single, expected);
          // A cursor kept over the run, as the decoder keeps it; then the same
          // cursor asked again from the start measures afresh.
          for (int span : {64, 4096}) {
            PulseCursor cursor(span);
            for (int pass = 0; pass < 2; ++pass) {
              std::vector<Pulse> held;
              for (std::int64_t p = -3; p <= recording.length();) {
                const int length = cursor.Measure(recording, p, pacer);
                held.push_back({length, p});
              }
              EXPECT_EQ(held, expected) << "span " << span << ", pass " << pass;
            }
          }
          // Batches of 1 to 7 pulses: every length, and the position after each batch.
          const bool stop = false;
          std::vector<Pulse> batched;
          int lengths[7];
          for (std::int64_t p = -3, batch = 0; p <= recording.length(); ++batch) {
            const int n = MeasurePulses(recording, p, pacer, stop, lengths, 1 + static_cast<int>(batch % 7));
            ASSERT_GT(n, 0);
            for (int i = 0; i < n; ++i) batched.push_back({lengths[i], i + 1 == n ? p : -1});
          }
          ASSERT_EQ(batched.size(), expected.size());
          for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(batched[i].length, expected[i].length) << "pulse " << i;
            if (batched[i].positionAfter >= 0) {
              EXPECT_EQ(batched[i].positionAfter, expected[i].positionAfter) << i;
            }
          }
        }
      }
    }
  }
}

// The level searches on their own, over every way a 64-sample group can hold
// level changes: each returns the same rising and falling samples.
TEST(LevelSearch, VectorSearchesFindTheScalarEdges) {
  for (unsigned seed : {4u, 5u, 6u, 7u}) {
    const Bytes rec = RandomSignal(seed, 4096);
    std::vector<std::uint16_t> scalarRises(2048 + pulse_scan::kSlack), scalarFalls(2048 + pulse_scan::kSlack);
    const int scalar = pulse_scan::ScanScalar(rec.data(), 64, scalarRises.data(), scalarFalls.data());
    for (LevelSearch search : {LevelSearch::Sse2, LevelSearch::Avx2}) {
      if (!LevelSearchAvailable(search)) continue;
      const pulse_scan::ScanFunction scan = search == LevelSearch::Sse2 ? pulse_scan::ScanSse2 : pulse_scan::ScanAvx2;
      std::vector<std::uint16_t> rises(2048 + pulse_scan::kSlack), falls(2048 + pulse_scan::kSlack);
      const int count = scan(rec.data(), 64, rises.data(), falls.data());
      ASSERT_EQ(count, scalar) << SearchName(search) << ", seed " << seed;
      EXPECT_TRUE(std::equal(rises.begin(), rises.begin() + count, scalarRises.begin())) << SearchName(search);
      EXPECT_TRUE(std::equal(falls.begin(), falls.begin() + count, scalarFalls.begin())) << SearchName(search);
    }
  }
  // Every sample alternating high and low: 32 pulses of one sample in each
  // group, more than the searches write without counting.
  Bytes alternating;
  for (int i = 0; i < 128; ++i) alternating.push_back(i % 2 == 0 ? 200 : 90);
  std::vector<std::uint16_t> rises(64 + pulse_scan::kSlack), falls(64 + pulse_scan::kSlack);
  for (LevelSearch search : {LevelSearch::Scalar, LevelSearch::Sse2, LevelSearch::Avx2}) {
    if (!LevelSearchAvailable(search)) continue;
    const pulse_scan::ScanFunction scan = search == LevelSearch::Scalar ? pulse_scan::ScanScalar
                                          : search == LevelSearch::Sse2 ? pulse_scan::ScanSse2
                                                                        : pulse_scan::ScanAvx2;
    ASSERT_EQ(scan(alternating.data(), 2, rises.data(), falls.data()), 64) << SearchName(search);
    EXPECT_EQ(rises[63], 126) << SearchName(search);
    EXPECT_EQ(falls[63], 127) << SearchName(search);
  }
}

}  // namespace
}  // namespace reelo
