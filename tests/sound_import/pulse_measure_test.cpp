// Pulse measurement on crafted byte strings: positions count from 1, F is the
// file length, and every case runs with buffers small enough to split it.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/pulse_measure.h"

namespace reelo {
namespace {

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

}  // namespace
}  // namespace reelo
