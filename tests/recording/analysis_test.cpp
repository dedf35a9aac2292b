// Fitted bounds, the quality report and the preparation's summary line.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <array>
#include <cmath>

#include "recording_builders.h"
#include "sound/export/wav_writer.h"
#include "sound/recording/fitted_bounds.h"
#include "sound/recording/preparation.h"
#include "sound/recording/quality_report.h"
#include "tape_builders.h"

namespace reelo {
namespace {

// Counts count pulses of a fractional true length, split between the two
// whole lengths around it as the sample grid splits them.
void AddPulses(PulseHistogram& h, double length, int count) {
  const int low = static_cast<int>(std::floor(length));
  const double upper = length - low;
  auto add = [&h](int bin, int n) {
    if (bin >= 0 && bin < kHistogramBins) h[static_cast<std::size_t>(bin)] = std::min(kHistogramCap, h[static_cast<std::size_t>(bin)] + n);
  };
  add(low, static_cast<int>(count * (1 - upper)));
  add(low + 1, static_cast<int>(count * upper));
}

// The histogram of a ROM-timed tape at 22050 Hz played at the given speed,
// with the end of the recording and some hiss.
PulseHistogram TapeHistogram(double speed) {
  PulseHistogram h{};
  AddPulses(h, 13.66 / speed, 9000);
  AddPulses(h, 10.77 / speed, 6000);
  AddPulses(h, 5.39 / speed, 6000);
  AddPulses(h, 3.5 / speed, 4);
  h[0] = 12;
  h[1] = 40;
  return h;
}

TEST(FitBounds, EveryClassOfATapeFallsInItsRange) {
  struct Row {
    const char* name;
    PulseHistogram histogram;
    std::vector<double> pilot, one, zero;  // true lengths of each class
    std::array<int, 6> bounds;             // 0 from/to, 1 from/to, pilot from/to
  };
  PulseHistogram ownExport{};
  ownExport[13] = 5000;
  ownExport[10] = 3000;
  ownExport[5] = 3000;
  // The program's own export of one block of 65535 random bytes at 44.1 kHz,
  // prepared: the bits fill their counters, the one pilot does not.
  PulseHistogram oneLongBlock{};
  oneLongBlock[0] = 2;
  oneLongBlock[5] = oneLongBlock[9] = oneLongBlock[10] = oneLongBlock[11] = 5000;
  oneLongBlock[13] = 1501;
  const std::vector<Row> rows = {
      {"rom_speed_1.0", TapeHistogram(1.0), {13.66}, {10.77}, {5.39, 3.3, 3.7}, {2, 8, 9, 13, 14, 17}},
      {"rom_10pc_fast", TapeHistogram(1.1), {13.66 / 1.1}, {10.77 / 1.1}, {5.39 / 1.1, 3.3 / 1.1}, {2, 7, 8, 11, 12, 16}},
      {"rom_10pc_slow", TapeHistogram(0.9), {13.66 / 0.9}, {10.77 / 0.9}, {5.39 / 0.9, 3.7 / 0.9}, {2, 8, 9, 14, 15, 19}},
      {"own_export", ownExport, {13}, {10}, {5}, {2, 7, 8, 12, 13, 16}},
      {"one_long_block", oneLongBlock, {13}, {9, 10, 11}, {5}, {2, 7, 8, 12, 13, 16}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto fit = FitBounds(row.histogram);
    ASSERT_TRUE(fit.has_value());
    // Where each bound lies: the zeros' lower bound well below them, the 0/1
    // bound halfway, the 1/pilot bound just below the pilot, the pilot's
    // upper bound 30% above it.
    EXPECT_EQ(fit->bounds.value, row.bounds);
    // Both whole lengths around each bit's true length must classify right;
    // the pilot search needs only the pilot's nearest whole length (one pulse
    // of pilot is enough, and its shorter half may count as a 1 bit there,
    // where 1 bits are passed over).
    auto check = [&](const std::vector<double>& lengths, PulseClass wanted, bool dataFound) {
      for (double length : lengths) {
        const int nearest = static_cast<int>(std::lround(length));
        const bool bothSides = wanted != PulsePilot;
        for (int measured : {bothSides ? static_cast<int>(std::floor(length)) : nearest,
                             bothSides ? static_cast<int>(std::ceil(length)) : nearest}) {
          EXPECT_EQ(ClassifyLength(measured, fit->bounds, dataFound), std::optional<PulseClass>(wanted))
              << "length " << measured << " of " << length;
        }
      }
    };
    check(row.pilot, PulsePilot, false);
    check(row.one, PulseOne, true);
    check(row.zero, PulseZero, true);
    // A 1 bit measured as long as a pilot's shorter half (noise, a dull
    // stretch) stays a 1 bit in the data part.
    const int longOne = static_cast<int>(std::lround(row.pilot[0])) - 1;
    EXPECT_EQ(ClassifyLength(longOne, fit->bounds, true), std::optional<PulseClass>(PulseOne)) << longOne;
    EXPECT_EQ(ClassifyLength(0, fit->bounds, true), std::optional<PulseClass>(PulseNoise));
    EXPECT_EQ(ClassifyLength(1, fit->bounds, true), std::optional<PulseClass>(PulseNoise));
  }
}

TEST(FitBounds, NothingWithoutAPilotAndItsBits) {
  PulseHistogram empty{};
  PulseHistogram hiss{};
  hiss[0] = 5000;
  hiss[1] = 5000;
  hiss[2] = 3000;
  hiss[3] = 800;
  PulseHistogram pilotOnly{};
  pilotOnly[13] = 5000;
  pilotOnly[14] = 5000;
  for (const PulseHistogram& h : {empty, hiss, pilotOnly}) EXPECT_FALSE(FitBounds(h).has_value());
}

struct QualityRow {
  const char* name;
  std::function<testing::Recording()> make;
  std::vector<std::string> warningsStartWith;
  double speedPercent;  // expected speed error, within 0.5
  int betterChannel = 0;
};

class Quality : public ::testing::TestWithParam<QualityRow> {};

std::vector<TapeBlock> OneRecord() { return {testing::MakeDataBlock(testing::RandomBytes(40, 3))}; }

TEST_P(Quality, ReportsLevelsSpeedAndWarnings) {
  const QualityRow& row = GetParam();
  testing::TempDir dir;
  const std::string path = (dir / "q.wav").string();
  ASSERT_TRUE(testing::WriteRecording(path, row.make(), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  QualityReport report;
  ASSERT_TRUE(MeasureQuality(path, nullptr, report).ok());
  const std::vector<std::string> warnings = QualityWarnings(report);
  ASSERT_EQ(warnings.size(), row.warningsStartWith.size()) << (warnings.empty() ? "" : warnings[0]);
  for (std::size_t i = 0; i < warnings.size(); ++i) {
    EXPECT_EQ(warnings[i].rfind(row.warningsStartWith[i], 0), 0u) << warnings[i];
  }
  EXPECT_TRUE(report.pilotFound);
  EXPECT_NEAR(report.speedErrorPercent, row.speedPercent, 0.5);
  EXPECT_EQ(report.betterChannel, row.betterChannel);
}

std::vector<float> Rom(double speed = 1.0) { return testing::RomSignal(OneRecord(), 44100, speed, 3000); }

INSTANTIATE_TEST_SUITE_P(
    Rows, Quality,
    ::testing::Values(
        QualityRow{"normal", [] { return testing::Mono(testing::Scaled(Rom(), 0.5f), 44100); }, {}, 0.0},
        QualityRow{"quiet", [] { return testing::Mono(testing::Scaled(Rom(), 0.02f), 44100); },
                   {"Запись слишком тихая"}, 0.0},
        QualityRow{"clipped", [] { return testing::Mono(testing::Scaled(testing::LowPassed(Rom(), 5000, 44100), 3.0f), 44100); },
                   {"Запись перегружена"}, 0.0},
        QualityRow{"fast_7pc", [] { return testing::Mono(testing::Scaled(Rom(1.07), 0.5f), 44100); },
                   {"Скорость ленты отличается от нормы на +7"}, 7.0},
        QualityRow{"slow_7pc", [] { return testing::Mono(testing::Scaled(Rom(0.93), 0.5f), 44100); },
                   {"Скорость ленты отличается от нормы на -7"}, -7.0},
        QualityRow{"slow_4pc_no_warning", [] { return testing::Mono(testing::Scaled(Rom(0.96), 0.5f), 44100); }, {},
                   -4.0},
        QualityRow{"right_channel_cleaner",
                   [] {
                     const auto clean = testing::Scaled(Rom(), 0.5f);
                     return testing::Stereo(testing::Noisy(clean, 3), clean, 44100);
                   },
                   {}, 0.0, 1},
        // Both channels keep their pilot; the steadier one is chosen.
        QualityRow{"left_channel_steadier",
                   [] {
                     const auto clean = testing::Scaled(Rom(), 0.5f);
                     return testing::Stereo(clean, testing::Noisy(clean, 20), 44100);
                   },
                   {}, 0.0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The program's own export has its pilot at 848 Hz (13 samples at 22050 Hz):
// that is its nominal, not a tape running 5% fast.
TEST(QualityOfOwnExport, IsNotOffSpeed) {
  testing::TempDir dir;
  TapeProject project;
  project.blocks = OneRecord();
  const std::string path = (dir / "export.wav").string();
  NullProgress progress;
  ASSERT_TRUE(SaveWavFile(project, path, progress).ok());
  QualityReport report;
  ASSERT_TRUE(MeasureQuality(path, nullptr, report).ok());
  EXPECT_TRUE(report.pilotFound);
  EXPECT_NEAR(report.speedErrorPercent, 0.0, 0.3);
  EXPECT_TRUE(QualityWarnings(report).empty());
}

TEST(PreparationSummary, DescribesWhatWasDone) {
  struct Row {
    int rate, channels, bits;
    bool isFloat, clean;
    int channelUsed;
    const char* text;
  };
  const Row rows[] = {
      {44100, 2, 16, false, true, 0,
       "Запись подготовлена: 44100 Гц, 16 бит, стерео -> 22050 Гц, 8 бит, моно (левый канал), очистка сигнала"},
      {48000, 2, 24, false, false, 1, "Запись подготовлена: 48000 Гц, 24 бит, стерео -> 22050 Гц, 8 бит, моно (правый канал)"},
      {96000, 1, 32, true, true, 0,
       "Запись подготовлена: 96000 Гц, 32 бит с плавающей точкой, моно -> 22050 Гц, 8 бит, моно, очистка сигнала"},
      {44100, 3, 16, false, true, 2,
       "Запись подготовлена: 44100 Гц, 16 бит, 3 канала -> 22050 Гц, 8 бит, моно (канал 3), очистка сигнала"},
      {44100, 5, 16, false, false, -1, "Запись подготовлена: 44100 Гц, 16 бит, 5 каналов -> 22050 Гц, 8 бит, моно (смесь каналов)"},
      {22050, 2, 0, false, false, -1, "Запись подготовлена: 22050 Гц, стерео -> 22050 Гц, 8 бит, моно (смесь каналов)"},
  };
  for (const Row& row : rows) {
    RecordingInfo info;
    info.readable = true;
    info.sampleRate = row.rate;
    info.channels = row.channels;
    info.bitsPerSample = row.bits;
    info.floatingPoint = row.isFloat;
    PrepareOptions options;
    options.clean = row.clean;
    EXPECT_EQ(PreparationSummary(info, options, row.channelUsed), row.text);
  }
}

TEST(PrepareDefaults, OnlyTheDecodersOwnFormIsLeftAsItIs) {
  struct Row {
    const char* name;
    int format, rate, channels;
    bool exact, clean, needsPreparation;
  };
  const Row rows[] = {
      {"u8_mono_22050", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1, true, true, true},
      {"u8_mono_44100", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 44100, 1, false, true, true},
      {"u8_stereo_22050", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 2, false, true, true},
      {"s16_mono_22050", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, false, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::TempDir dir;
    const std::string path = (dir / "r.wav").string();
    testing::Recording r{row.rate, row.channels, std::vector<float>(static_cast<std::size_t>(row.rate * row.channels), 0.1f)};
    ASSERT_TRUE(testing::WriteRecording(path, r, row.format));
    RecordingInfo info;
    ASSERT_TRUE(ProbeRecording(path, info).ok());
    EXPECT_EQ(info.exact, row.exact);
    const PrepareOptions options = DefaultPrepareOptions(info);
    EXPECT_EQ(options.clean, row.clean);
    EXPECT_EQ(NeedsPreparation(info, options), row.needsPreparation);
  }
}

}  // namespace
}  // namespace reelo
