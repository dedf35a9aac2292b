// Hostile files, end to end: whatever the user picks, loading a TAP or
// analysing and decoding a recording ends, says what it found in the program's
// own words, and keeps everything that was there before.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/tap_file.h"
#include "quiet_import_host.h"
#include "sound/export/wav_writer.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::TempDir;

// The window, reduced to what the runs tell it; every question is answered
// "noise" and counted.
class CountingHost final : public testing::QuietImportHost {
 public:
  int begins = 0, questions = 0;

  void Begin(const std::string&, std::int64_t) override { ++begins; }
  QuestionReply AskBadSignal(const BadSignalQuestion& question) override {
    ++questions;
    return QuietImportHost::AskBadSignal(question);
  }
};

TapeProject TwoBlockProject() {
  TapeProject project;
  project.blocks = {testing::MakeHeader(0, "keep", 2), testing::MakeDataBlock({1, 2})};
  project.fileName = "старое.tap";
  return project;
}

Bytes Repeat(const Bytes& pattern, std::size_t times) {
  Bytes out;
  for (std::size_t i = 0; i < times; ++i) out.insert(out.end(), pattern.begin(), pattern.end());
  return out;
}

// ---- TAP files, loaded into a project that already holds two blocks ----

struct TapCase {
  std::string name;
  Bytes file;
  OpResult::Kind kind;
  std::string message;
  int added;
};

std::vector<TapCase> TapCases() {
  const Bytes oneRecord = testing::MakeDataBlock({7}).toVector();
  return {
      {"EmptyFile", {}, OpResult::Kind::Ok, "", 0},
      {"OneByte", {0x13}, OpResult::Kind::Ok, "", 0},
      {"LengthOf65535WithThreeBytesBehind", {0xFF, 0xFF, 1, 2, 3}, OpResult::Kind::Warning,
       "Последний блок файла обрезан: не загружено 5 байт со смещения 0.", 0},
      {"ThousandAndOneRecords", Repeat(oneRecord, 1001), OpResult::Kind::Warning,
       "В проекте может быть не больше 1000 блоков: не загружено блоков из файла: 3.", 998},
      {"HundredThousandZeroLengthRecords", Bytes(200000, 0), OpResult::Kind::Warning,
       "В проекте может быть не больше 1000 блоков: не загружено блоков из файла: 99002.", 998},
  };
}

void PrintTo(const TapCase& c, std::ostream* os) { *os << c.name; }

class HostileTap : public ::testing::TestWithParam<TapCase> {};

TEST_P(HostileTap, LoadsWhatIsWholeAndKeepsTheProject) {
  const TapCase& c = GetParam();
  TempDir dir;
  testing::WriteFileBytes(dir / "hostile.tap", c.file);
  TapeProject project = TwoBlockProject();
  const TapeProject before = project;
  NullProgress progress;
  const OpResult result = LoadTapFile(project, (dir / "hostile.tap").string(), progress);
  EXPECT_EQ(result.kind, c.kind);
  EXPECT_EQ(result.message, c.message);
  ASSERT_EQ(project.blockCount(), before.blockCount() + c.added);
  EXPECT_TRUE(std::equal(before.blocks.begin(), before.blocks.end(), project.blocks.begin()));
  EXPECT_EQ(project.fileName, before.fileName);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileTap, ::testing::ValuesIn(TapCases()),
                         [](const auto& info) { return info.param.name; });

// ---- Recordings: the analysis and the decoder on the same file ----

// A real recording of one block, as the export writes it.
Bytes ExportedRecording(const TempDir& dir) {
  TapeProject project;
  project.blocks = {testing::MakeDataBlock(testing::RandomBytes(40, 3))};
  const auto path = dir / "exported.wav";
  NullProgress progress;
  EXPECT_TRUE(SaveWavFile(project, path.string(), progress).ok());
  return testing::ReadFileBytes(path);
}

// The same signal as 16-bit signed stereo samples behind a 44-byte header.
Bytes SixteenBitStereo(const Bytes& wav) {
  Bytes out(wav.begin(), wav.begin() + kWavHeaderSize);
  out[22] = 2;   // channels
  out[32] = 4;   // bytes per frame
  out[34] = 16;  // bits per sample
  for (std::size_t i = kWavHeaderSize; i < wav.size(); ++i) {
    const auto sample = static_cast<std::uint16_t>((wav[i] - 128) * 256);
    for (int channel = 0; channel < 2; ++channel) {
      out.push_back(static_cast<std::uint8_t>(sample & 0xFF));
      out.push_back(static_cast<std::uint8_t>(sample >> 8));
    }
  }
  return out;
}

struct RecordingCase {
  std::string name;
  std::function<Bytes(const TempDir&)> make;
  std::map<int, int> bins;  // non-zero histogram bins after the analysis
};

constexpr std::size_t kMegabyte = 1 << 20;

std::vector<RecordingCase> RecordingCases() {
  return {
      {"EmptyFile", [](const TempDir&) { return Bytes{}; }, {}},
      {"OneByte", [](const TempDir&) { return Bytes{255}; }, {}},
      // A flat recording: one search for a rise that reaches the end.
      {"AllZero", [](const TempDir&) { return Bytes(kMegabyte, 0); }, {{0, 1}}},
      {"AllRestLevel", [](const TempDir&) { return Bytes(kMegabyte, 127); }, {{0, 1}}},
      // One rise and no fall: a half-wave the end of the recording cuts, then
      // the last byte read on its own.
      {"All255", [](const TempDir&) { return Bytes(kMegabyte, 255); }, {{0, 2}}},
      // Pulses of one sample, far more than a counter holds.
      {"Alternating0And255", [](const TempDir&) { return Repeat({0, 255}, kMegabyte / 2); }, {{0, 2}, {1, 5000}}},
      // Bytes taken as 8-bit samples: every low byte is 0 and ends a one-sample
      // pulse started by a high byte of 128 or more; nothing is a tape bit.
      {"SixteenBitStereoWav", [](const TempDir& dir) { return SixteenBitStereo(ExportedRecording(dir)); },
       {{0, 2}, {1, 5000}}},
  };
}

void PrintTo(const RecordingCase& c, std::ostream* os) { *os << c.name; }

class HostileRecording : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(HostileRecording, RunsToTheEndAndFindsNothing) {
  const RecordingCase& c = GetParam();
  TempDir dir;
  const std::string path = (dir / "hostile.wav").string();
  testing::WriteFileBytes(path, c.make(dir));

  ImportState state;
  CountingHost analysis;
  EXPECT_EQ(AnalyseSpectrum(state, path, analysis).kind, OpResult::Kind::Ok);
  for (int bin = 0; bin < kHistogramBins; ++bin) {
    const auto found = c.bins.find(bin);
    EXPECT_EQ(state.pulseHistogram[static_cast<std::size_t>(bin)], found == c.bins.end() ? 0 : found->second)
        << "bin " << bin;
  }

  CountingHost decoding;
  EXPECT_EQ(DecodeTape(state, PulseBounds{}, path, decoding).kind, OpResult::Kind::Ok);
  EXPECT_EQ(decoding.lines, (std::vector<std::string>{kReportLoading, kReportFinished, BlocksFoundLine(0)}));
  EXPECT_EQ(decoding.questions, 0);
  EXPECT_EQ(state.loadedBlockCount(), 0);
  EXPECT_EQ(decoding.begins, 1);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileRecording, ::testing::ValuesIn(RecordingCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace reelo
