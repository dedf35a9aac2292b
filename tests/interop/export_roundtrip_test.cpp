// The exported WAV decoded by a tape reader that no one here wrote: fuse-utils'
// audio2tape follows the Spectrum ROM loader's timing, and tapeconv turns its
// result back into a TAP file, which must equal the original byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "external_tools.h"
#include "project/tap_file.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_writer.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Quoted;
using testing::ReadFileBytes;
using testing::RunTool;
using testing::TempDir;
using testing::ToolInPath;

// Padding of the test's copy of the WAV (the exported file itself is not
// changed). audio2tape misses a block whose pilot starts at the first sample,
// and it closes the last block only at an edge after the pause, so the copy
// gets some rest in front and, after the end, more rest and one strong pulse.
constexpr std::size_t kLeadInSamples = 200;
constexpr std::size_t kTailRestSamples = 2000;
constexpr std::size_t kClosingPulseSamples = 200;
constexpr std::uint8_t kFullScaleHigh = 255;
constexpr std::uint8_t kFullScaleLow = 0;

// Why a test cannot run: empty when the tool is there.
std::string MissingTool(const std::string& tool, const std::string& package) {
  return ToolInPath(tool) ? std::string() : tool + " is not installed (package " + package + ")";
}

void AppendLevel(Bytes& out, std::uint8_t level, std::size_t count) { out.insert(out.end(), count, level); }

// A copy of an exported WAV with the padding described above and a header for its new length.
void WritePaddedCopy(const fs::path& exported, const fs::path& padded) {
  const Bytes file = ReadFileBytes(exported);
  ASSERT_GE(file.size(), kWavHeaderSize);
  Bytes samples;
  AppendLevel(samples, kRestLevel, kLeadInSamples);
  samples.insert(samples.end(), file.begin() + kWavHeaderSize, file.end());
  AppendLevel(samples, kRestLevel, kTailRestSamples);
  AppendLevel(samples, kFullScaleHigh, kClosingPulseSamples);
  AppendLevel(samples, kFullScaleLow, kClosingPulseSamples);
  AppendLevel(samples, kRestLevel, kClosingPulseSamples);
  const WavHeader header = MakeWavHeader(static_cast<std::uint32_t>(samples.size()));
  Bytes out(header.begin(), header.end());
  out.insert(out.end(), samples.begin(), samples.end());
  testing::WriteFileBytes(padded, out);
}

class ExportRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"audio2tape", "tapeconv"}) {
      if (auto why = MissingTool(tool, "fuse-emulator-utils"); !why.empty()) GTEST_SKIP() << why;
    }
  }

  // TAP file -> project -> exported WAV -> audio2tape -> tapeconv -> TAP bytes.
  Bytes RoundTrip(const fs::path& tap) {
    TapeProject project;
    NullProgress progress;
    const OpResult loaded = LoadTapFile(project, tap.string(), progress);
    EXPECT_EQ(loaded.kind, OpResult::Kind::Ok) << loaded.message;
    EXPECT_GT(project.blockCount(), 0);
    const fs::path wav = dir_ / "export.wav";
    const OpResult saved = SaveWavFile(project, wav.string(), progress);
    EXPECT_TRUE(saved.ok()) << saved.message << " " << saved.detail;
    EXPECT_EQ(fs::file_size(wav), kWavHeaderSize + ProjectSignalLength(project));
    WritePaddedCopy(wav, dir_ / "padded.wav");
    // The default Schmitt trigger: it ignores the half-wave that runs on into
    // the 127 pause, so the extra byte after each record is dropped unfinished.
    EXPECT_TRUE(RunTool("audio2tape " + Quoted(dir_ / "padded.wav") + " " + Quoted(dir_ / "decoded.tzx"),
                    dir_ / "audio2tape.log"));
    EXPECT_TRUE(RunTool("tapeconv " + Quoted(dir_ / "decoded.tzx") + " " + Quoted(dir_ / "decoded.tap"),
                    dir_ / "tapeconv.log"));
    return ReadFileBytes(dir_ / "decoded.tap");
  }

  void ExpectRoundTrip(const fs::path& tap) {
    const Bytes original = ReadFileBytes(tap);
    ASSERT_FALSE(original.empty());
    const Bytes decoded = RoundTrip(tap);
    EXPECT_EQ(decoded.size(), original.size());
    EXPECT_TRUE(decoded == original) << "the decoded TAP differs from " << tap.filename();
  }

  TempDir dir_;
};

TEST_F(ExportRoundTrip, BasicProgramFromZmakebas) {
  if (auto why = MissingTool("zmakebas", "zmakebas"); !why.empty()) GTEST_SKIP() << why;
  std::ofstream(dir_ / "prog.bas") << "10 REM round trip\n"
                                      "20 FOR i=1 TO 10: PRINT AT i,i;\"Reelo\";i: NEXT i\n"
                                      "30 LET a$=\"done\": BEEP 0.1,12\n"
                                      "40 DATA 1,2.5,-3e3\n"
                                      "50 GO TO 20\n";
  ASSERT_TRUE(RunTool("zmakebas -a 10 -n roundtrip -o " + Quoted(dir_ / "prog.tap") + " " + Quoted(dir_ / "prog.bas"),
                  dir_ / "zmakebas.log"));
  ExpectRoundTrip(dir_ / "prog.tap");
}

TEST_F(ExportRoundTrip, LoaderAndCodeFromPasmo) {
  if (auto why = MissingTool("pasmo", "pasmo"); !why.empty()) GTEST_SKIP() << why;
  std::ofstream(dir_ / "hello.asm") << "        org 32768\n"
                                       "start:  ld a, 2\n"
                                       "        call 5633\n"
                                       "        ld de, msg\n"
                                       "        ld bc, msgend - msg\n"
                                       "        call 8252\n"
                                       "        ret\n"
                                       "msg:    db \"Reelo\", 13\n"
                                       "msgend:\n"
                                       "        end start\n";
  ASSERT_TRUE(
      RunTool("pasmo --tapbas " + Quoted(dir_ / "hello.asm") + " " + Quoted(dir_ / "hello.tap"), dir_ / "pasmo.log"));
  ExpectRoundTrip(dir_ / "hello.tap");
}

TEST_F(ExportRoundTrip, ScreenLargeBlockAndShortRecords) {
  const Bytes tape = testing::Concat({
      testing::MakeHeader(3, "screen", 6912, 16384),
      testing::MakeDataBlock(testing::RandomBytes(6912, 21)),
      testing::MakeHeader(3, "big", 49152, 16384),
      testing::MakeDataBlock(testing::RandomBytes(49152, 22)),
      testing::MakeRawRecord({0xAA}),              // a flag byte only
      testing::MakeRawRecord({0xFF, 0xFF}),        // flag and checksum, no data
      testing::MakeRawRecord({0xFF, 0x01, 0x00}),  // a wrong checksum travels as stored
  });
  testing::WriteFileBytes(dir_ / "mixed.tap", tape);
  ExpectRoundTrip(dir_ / "mixed.tap");
}

}  // namespace
}  // namespace reelo
