// The spectrum analysis counts whole stretches of pulses at a time; what the
// window sees must not change: at every progress report the histogram holds
// exactly the pulses measured so far, counters stop at the cap, and a stop
// keeps what was counted. The model is the plain loop, one pulse measured and
// counted after another.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/pulse_histogram.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::FakeHost;
using testing::Signal;
using testing::TempDir;

struct Seen {
  std::vector<std::int64_t> positions;
  std::vector<PulseHistogram> histograms;
  PulseHistogram final{};
  bool stopped = false;
};

// Stops the run at its stopAt-th progress report (0: never).
void Watch(FakeHost& host, const PulseHistogram& histogram, Seen& seen, int stopAt) {
  host.onYield = [&host, &histogram, &seen, stopAt] {
    seen.histograms.push_back(histogram);
    if (stopAt > 0 && host.yields == stopAt) host.stopAnswer = true;
  };
}

Seen PlainModel(const std::string& path, int stopAt) {
  RecordingReader recording;
  EXPECT_TRUE(recording.Open(path).ok());
  ImportState state;
  FakeHost host;
  Seen seen;
  Watch(host, state.pulseHistogram, seen, stopAt);
  Pacer pacer = EventsPacer(host, &state);
  std::int64_t position = kAnalysisStartPosition;
  while (position <= recording.length() && !state.stopRequested) {
    CountPulse(state.pulseHistogram, MeasurePulse(recording, position, pacer));
  }
  seen.positions = host.progress;
  seen.final = state.pulseHistogram;
  seen.stopped = state.stopRequested;
  return seen;
}

Seen Analysed(const std::string& path, int stopAt) {
  ImportState state;
  state.pulseHistogram.fill(7);  // an earlier analysis, cleared at the start
  FakeHost host;
  Seen seen;
  Watch(host, state.pulseHistogram, seen, stopAt);
  EXPECT_TRUE(AnalyseSpectrum(state, path, host).ok());
  seen.positions = host.progress;
  seen.final = state.pulseHistogram;
  seen.stopped = state.stopRequested;
  return seen;
}

// Cycles of 1 to 45 samples (some past the counted lengths), with now and
// then a half-wave too long to measure or a stretch of rest.
Bytes MixedSignal(unsigned seed, int cycles) {
  Signal signal;
  std::uint32_t state = seed;
  for (int i = 0; i < cycles; ++i) {
    state = state * 1664525u + 1013904223u;
    const int kind = static_cast<int>(state >> 28);
    if (kind == 0) {
      signal.Level(testing::kHigh, 1001 + (state >> 8) % 300).Level(testing::kLow, 3);
    } else if (kind == 1) {
      signal.Level(testing::kRest, 1 + (state >> 8) % 5000);
    } else {
      signal.Cycle(1 + static_cast<int>((state >> 8) % 45));
    }
  }
  return signal.samples();
}

struct CountingCase {
  std::string name;
  Bytes samples;
  int stopAt;
  PulseHistogram expectedFinal;  // checked where it is written out
};

Bytes PilotThenBits() {
  Signal signal;
  signal.Cycles(13, 6000).Cycle(5);
  for (int i = 0; i < 600; ++i) signal.Byte(static_cast<std::uint8_t>(i * 37));
  return signal.Level(testing::kLow, 3).Level(testing::kRest, 100).samples();
}

PulseHistogram PilotThenBitsCounts() {
  PulseHistogram h{};
  // 6000 pilot half-waves stop at the cap; the sync pulse and 600 bytes of
  // eight bit pulses: 5 for a 0, 10 for a 1; the end measures 0.
  h[13] = kHistogramCap;
  int ones = 0;
  for (int i = 0; i < 600; ++i) ones += __builtin_popcount(static_cast<std::uint8_t>(i * 37));
  h[10] = ones;
  h[5] = 1 + 600 * 8 - ones;
  h[0] = 1;
  return h;
}

std::vector<CountingCase> CountingCases() {
  return {
      {"PilotBeyondTheCap", PilotThenBits(), 0, PilotThenBitsCounts()},
      {"StopAtTheThirdReport", PilotThenBits(), 3, {}},
      {"MixedLengthsSeed1", MixedSignal(1, 30000), 0, {}},
      {"MixedLengthsSeed2", MixedSignal(2, 30000), 0, {}},
      {"MixedLengthsStoppedAtTheFirstReport", MixedSignal(3, 30000), 1, {}},
      {"ShorterThanOneReport", MixedSignal(4, 20), 0, {}},
  };
}

void PrintTo(const CountingCase& c, std::ostream* os) { *os << c.name; }

class SpectrumCounting : public ::testing::TestWithParam<CountingCase> {};

TEST_P(SpectrumCounting, TheWindowSeesWhatThePlainLoopCounts) {
  const CountingCase& c = GetParam();
  TempDir dir;
  testing::WriteFileBytes(dir / "r.wav", c.samples);
  const std::string path = (dir / "r.wav").string();
  const Seen model = PlainModel(path, c.stopAt);
  const Seen seen = Analysed(path, c.stopAt);
  EXPECT_EQ(seen.positions, model.positions);
  ASSERT_EQ(seen.histograms.size(), model.histograms.size());
  for (std::size_t i = 0; i < model.histograms.size(); ++i) {
    EXPECT_EQ(seen.histograms[i], model.histograms[i]) << "report " << i;
  }
  EXPECT_EQ(seen.final, model.final);
  EXPECT_EQ(seen.stopped, c.stopAt > 0);
  if (c.expectedFinal != PulseHistogram{}) {
    EXPECT_EQ(seen.final, c.expectedFinal);
  }
  if (c.stopAt > 0) {
    EXPECT_EQ(seen.histograms.size(), static_cast<std::size_t>(c.stopAt));
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, SpectrumCounting, ::testing::ValuesIn(CountingCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace reelo
