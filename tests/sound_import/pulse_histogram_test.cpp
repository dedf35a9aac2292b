// The spectrum analysis: what it counts, where it starts, how it talks to the
// window, and the picture built from its counts.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import_fakes.h"
#include "sound/import/import_pictures.h"
#include "sound/import/pulse_histogram.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::FakeHost;
using testing::Signal;
using testing::TempDir;

PulseHistogram Expected(std::initializer_list<std::pair<int, int>> bins) {
  PulseHistogram h{};
  for (auto [length, count] : bins) h[static_cast<std::size_t>(length)] = count;
  return h;
}

TEST(CountPulse, CapsAndIgnoresLongLengths) {
  PulseHistogram h{};
  for (int i = 0; i < kHistogramCap + 100; ++i) CountPulse(h, 5);
  for (int length : {41, 1000, -1}) CountPulse(h, length);
  CountPulse(h, 0);
  CountPulse(h, 40);
  EXPECT_EQ(h, Expected({{5, kHistogramCap}, {0, 1}, {40, 1}}));
}

TEST(AnalyseSpectrum, CountsEveryPulseLengthOfTheRecording) {
  Signal signal;
  signal.Cycles(13, 7).Cycle(5).Pulses({10, 10, 5, 41, 1}).Level(testing::kLow, 1).Level(testing::kHigh, 1200);
  signal.Level(testing::kLow, 3);
  signal.Level(testing::kRest, 3);
  TempDir dir;
  ImportState state;
  state.pulseHistogram[20] = 99;  // left from an earlier analysis
  FakeHost host;
  ASSERT_TRUE(AnalyseSpectrum(state, signal.Write(dir).string(), host).ok());
  // The 1200-sample half-wave is overlong and the end of the recording measures
  // 0 too; the 41 is not counted.
  EXPECT_EQ(state.pulseHistogram, Expected({{13, 7}, {5, 2}, {10, 2}, {1, 1}, {0, 2}}));
}

TEST(AnalyseSpectrum, StartsAtTheLastHeaderByte) {
  Bytes file(43, 127);
  file.push_back(200);  // position 44
  file.insert(file.end(), {90, 127, 127});
  TempDir dir;
  testing::WriteFileBytes(dir / "h.wav", file);
  ImportState state;
  FakeHost host;
  AnalyseSpectrum(state, (dir / "h.wav").string(), host);
  EXPECT_EQ(state.pulseHistogram[1], 1);
}

TEST(AnalyseSpectrum, BeginsAndReportsItsProgress) {
  Signal signal;
  signal.Cycles(5, 2500).Level(testing::kRest, 10);
  TempDir dir;
  const auto path = signal.Write(dir);
  const auto fileLength = static_cast<std::int64_t>(signal.samples().size());
  ImportState state;
  state.stopRequested = true;  // left from an earlier run
  FakeHost host;
  ASSERT_TRUE(AnalyseSpectrum(state, path.string(), host).ok());

  EXPECT_EQ(host.calls, (std::vector<std::string>{"begin:Анализ спектра. Подождите...:" + std::to_string(fileLength)}));
  // With no interval every look at the clock (every 4096 samples) reports.
  EXPECT_EQ(host.progress.size(), static_cast<std::size_t>(fileLength / 4096));
  for (auto p : host.progress) EXPECT_LE(p, fileLength);
  EXPECT_FALSE(state.stopRequested);
}

TEST(AnalyseSpectrum, StopKeepsTheCountsSoFar) {
  Signal signal;
  signal.Cycles(13, 20000).Level(testing::kRest, 10);
  TempDir dir;
  ImportState state;
  FakeHost host;
  host.onYield = [&state] { state.stopRequested = true; };
  AnalyseSpectrum(state, signal.Write(dir).string(), host);
  EXPECT_EQ(host.yields, 1);
  EXPECT_GT(state.pulseHistogram[13], 0);
  EXPECT_LT(state.pulseHistogram[13], 1000);
}

TEST(AnalyseSpectrum, TheEventsCanStopIt) {
  Signal signal;
  signal.Cycles(13, 20000).Level(testing::kRest, 10);
  TempDir dir;
  ImportState state;
  FakeHost host;
  host.stopAnswer = true;
  AnalyseSpectrum(state, signal.Write(dir).string(), host);
  EXPECT_EQ(host.yields, 1);
  EXPECT_TRUE(state.stopRequested);
  EXPECT_LT(state.pulseHistogram[13], 1000);
}

TEST(AnalyseSpectrum, NoFileNameDoesNothing) {
  ImportState state;
  state.pulseHistogram[3] = 7;
  FakeHost host;
  EXPECT_TRUE(AnalyseSpectrum(state, "", host).ok());
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(state.pulseHistogram[3], 7);
}

TEST(AnalyseSpectrum, AMissingFileDoesNotStartTheRun) {
  TempDir dir;
  const std::string path = (dir / "gone.wav").string();
  ImportState state;
  state.pulseHistogram[3] = 7;
  FakeHost host;
  const OpResult result = AnalyseSpectrum(state, path, host);
  EXPECT_EQ(result.kind, OpResult::Kind::Error);
  EXPECT_EQ(result.message, "Не удалось открыть звуковой файл " + path);
  EXPECT_EQ(result.detail, "файл или папка не найдены");
  EXPECT_TRUE(host.calls.empty()) << "the run never begins";
  EXPECT_EQ(state.pulseHistogram[3], 7);
}

TEST(SpectrumPicture, BandsLabelsPolylineAndMarks) {
  PulseHistogram h{};
  h[0] = 3;
  h[13] = kHistogramCap;
  PulseBounds bounds;
  bounds.value = {2, 6, 9, 11, 12, 40};
  const SpectrumPicture p = BuildSpectrumPicture(h, bounds);
  EXPECT_EQ(p.bands[0].left, 2);
  EXPECT_EQ(p.bands[0].right, 6);
  EXPECT_EQ(p.bands[1].colour, (Rgb{0, 128, 128}));
  EXPECT_EQ(p.bands[2].right, 40);
  EXPECT_EQ(p.labels, (std::array<std::string, 6>{"2", "6", "9", "11", "12", "40"}));
  EXPECT_EQ(p.start, (PicturePoint{0, 4950}));
  EXPECT_EQ(p.polyline[0], (PicturePoint{0, 4947}));
  EXPECT_EQ(p.polyline[1], (PicturePoint{1, 4950}));
  EXPECT_EQ(p.polyline[13], (PicturePoint{13, -50})) << "a full bin lies above the top edge";
  EXPECT_EQ(p.polyline[40], (PicturePoint{40, 4950}));
  EXPECT_EQ(p.markedLengths, (std::vector<int>{0, 13}));
}

}  // namespace
}  // namespace reelo
