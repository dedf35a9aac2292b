// The WAV export with the player's options: the defaults give today's file
// byte for byte, every combination reads back into the project's records, and
// the check tells a damaged file from a good one.
#include "sound/export/wav_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "recording_progress.h"
#include "sound/export/signal_stream.h"
#include "sound/export/wav_writer.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using namespace reelo::testing;

TapeProject SampleProject() {
  TapeProject project;
  project.blocks = {MakeHeader(3, "screen", 300, 16384), MakeDataBlock(RandomBytes(300, 7)), MakeRawRecord({0xAA}),
                    MakeBlock(0x80, RandomBytes(40, 8)), MakeRawRecord({0xFF, 0x01, 0x00})};
  return project;
}

TEST(WavExport, DefaultOptionsWriteTodaysFileByteForByte) {
  const TapeProject project = SampleProject();
  TempDir dir;
  RecordingProgress before, after;
  ASSERT_TRUE(SaveWavFile(project, (dir / "old.wav").string(), before).ok());
  ASSERT_TRUE(SaveWavFile(project, (dir / "new.wav").string(), SignalOptions{}, after).ok());
  EXPECT_EQ(ReadFileBytes(dir / "new.wav"), ReadFileBytes(dir / "old.wav"));
  EXPECT_EQ(after.labels, before.labels);
  EXPECT_EQ(after.maximums, before.maximums);
  EXPECT_EQ(after.values, before.values);
}

TEST(WavExport, EveryCombinationReadsBackIntoTheSameRecords) {
  const TapeProject project = SampleProject();
  for (int rate : {22050, 44100, 48000}) {
    for (int bits : {8, 16}) {
      for (bool inverted : {false, true}) {
        for (SignalTimings timings : {SignalTimings::Exact, SignalTimings::Rom}) {
          const SignalOptions options{rate, bits, inverted, timings};
          SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(bits) + " bits" +
                       (inverted ? ", inverted" : "") + (timings == SignalTimings::Rom ? ", ROM timings" : ""));
          TempDir dir;
          const std::string path = (dir / "out.wav").string();
          NullProgress progress;
          ASSERT_TRUE(SaveWavFile(project, path, options, progress).ok());
          const Bytes file = ReadFileBytes(path);
          const std::uint64_t dataBytes = ProjectSignalSamples(project, options) * static_cast<std::uint64_t>(bits / 8);
          ASSERT_EQ(file.size(), kWavHeaderSize + dataBytes);
          // Rate, byte rate, alignment and bits in the header, little-endian.
          const auto field = [&file](std::size_t at, int n) {
            std::uint32_t v = 0;
            for (int i = n - 1; i >= 0; --i) v = v * 256 + file[at + static_cast<std::size_t>(i)];
            return v;
          };
          EXPECT_EQ(field(4, 4), 36 + dataBytes);  // the RIFF size: the whole file but its first 8 bytes
          EXPECT_EQ(field(24, 4), static_cast<std::uint32_t>(rate));
          EXPECT_EQ(field(28, 4), static_cast<std::uint32_t>(rate * bits / 8));
          EXPECT_EQ(field(32, 2), static_cast<std::uint32_t>(bits / 8));
          EXPECT_EQ(field(34, 2), static_cast<std::uint32_t>(bits));
          EXPECT_EQ(field(40, 4), dataBytes);
          const WavCheckResult check = VerifyWavFile(project, path, options, progress);
          EXPECT_TRUE(check.readable) << check.text << " " << check.detail;
          EXPECT_TRUE(check.identical) << check.text;
          EXPECT_EQ(check.recordsDecoded, project.blockCount());
        }
      }
    }
  }
}

TEST(WavExport, TheCheckFindsADamagedOrForeignFile) {
  const TapeProject project = SampleProject();
  const SignalOptions options{44100, 16, false, SignalTimings::Exact};
  struct Case {
    const char* name;
    void (*damage)(Bytes&);
    bool readable;
    const char* text;
  };
  const Case cases[] = {
      {"untouched", [](Bytes&) {}, true, "Проверка пройдена: все блоки (5) прочитаны из файла байт в байт."},
      {"silence in the second block's data",
       [](Bytes& f) {
         const TapeSignalStream stream(SampleProject(), {44100, 16, false, SignalTimings::Exact});
         const std::size_t at = 44 + 2 * (stream.blockStart(1) + 90000);
         std::fill(f.begin() + static_cast<std::ptrdiff_t>(at), f.begin() + static_cast<std::ptrdiff_t>(at + 400), 0);
       },
       true, "Проверка не пройдена: совпало блоков 4 из 5. Первый несовпавший блок: 2."},
      {"cut after the header", [](Bytes& f) { f.resize(44); }, true,
       "Проверка не пройдена: совпало блоков 0 из 5. Первый несовпавший блок: 1. В файле прочитано записей: 0."},
      {"not a WAV file", [](Bytes& f) { f[0] = 'X'; }, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = (dir / "out.wav").string();
    NullProgress progress;
    ASSERT_TRUE(SaveWavFile(project, path, options, progress).ok());
    Bytes file = ReadFileBytes(path);
    c.damage(file);
    WriteFileBytes(path, file);
    RecordingProgress shown;
    const WavCheckResult check = VerifyWavFile(project, path, options, shown);
    EXPECT_EQ(check.readable, c.readable);
    EXPECT_FALSE(check.identical && std::string(c.name) != "untouched");
    if (c.readable) {
      EXPECT_EQ(check.text, c.text);
    } else {
      EXPECT_EQ(check.detail, "это не WAV-файл экспорта (PCM, моно, 8 или 16 бит)");
    }
    EXPECT_EQ(shown.labels, std::vector<std::string>{"Проверка WAV-файла, подождите..."});
    EXPECT_EQ(shown.ended, 1);
  }
}

// A loader that waits for each bit's closing edge needs one after the last
// bit too: the ROM-timed signal gives it with a 1 ms pulse at the other level
// before the rest, in either polarity.
TEST(WavExport, RomTimingsCloseTheLastBitWithAnEdge) {
  TapeProject project;
  project.blocks = {MakeDataBlock({0x00})};  // ends in a 0 bit, the checksum 0xFF in 1 bits
  for (bool inverted : {false, true}) {
    TapeSignalStream stream(project, {22050, 8, inverted, SignalTimings::Rom});
    std::vector<std::uint8_t> samples(stream.totalSamples());
    for (std::size_t done = 0; done < samples.size();)
      done += stream.Read(samples.data() + done, samples.size() - done);
    // Runs of equal samples from the end: the pause, the closing pulse, the last bit's half-wave.
    std::vector<std::pair<std::uint8_t, std::size_t>> runs;
    for (std::size_t i = samples.size(); i-- > 0 && runs.size() <= 3;) {
      if (runs.empty() || runs.back().first != samples[i]) runs.push_back({samples[i], 0});
      ++runs.back().second;
    }
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(runs[0].first, 127);
    EXPECT_EQ(runs[0].second, 22050u);
    EXPECT_EQ(runs[1].second, 22u);
    EXPECT_EQ(runs[1].first, inverted ? 95 : 159);
    EXPECT_EQ(runs[2].first, inverted ? 159 : 95);
  }
}

TEST(WavExport, RefusesUnsupportedOptionsBeforeTouchingTheFile) {
  TempDir dir;
  const std::string path = (dir / "keep.wav").string();
  WriteFileBytes(path, {1, 2, 3});
  NullProgress progress;
  for (const SignalOptions& options : {SignalOptions{11025, 8}, SignalOptions{22050, 24}}) {
    const OpResult result = SaveWavFile(SampleProject(), path, options, progress);
    EXPECT_EQ(result.kind, OpResult::Kind::Error);
    EXPECT_EQ(result.message, kBadSignalOptionsText);
    EXPECT_EQ(ReadFileBytes(path), (Bytes{1, 2, 3}));
  }
}

}  // namespace
}  // namespace reelo
