// Recordings no one here wrote: TAP files made by zmakebas and pasmo (or built
// in code) are turned into sound by fuse-utils' tape2wav at 22050 samples per
// second, and the import must decode them, with its default bounds, into the
// records of the TAP file. tape2wav follows the ROM's timings and writes full-
// scale samples (0 and 255) with a silence after each block.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "external_tools.h"
#include "project/progress.h"
#include "project/tap_file.h"
#include "quiet_import_host.h"
#include "sound/import/import_events.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "tape_builders.h"

namespace reelo {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Quoted;
using testing::RunTool;
using testing::TempDir;
using testing::ToolInPath;

constexpr int kTape2WavRate = 22050;

// A window that collects the report and answers every bad-signal question
// with "Шум", as a person would for the pulses these recordings bring up.
class CollectingHost final : public testing::QuietImportHost {
 public:
  std::vector<int> questionLengths;

  QuestionReply AskBadSignal(const BadSignalQuestion& question) override {
    questionLengths.push_back(question.length);
    return QuietImportHost::AskBadSignal(question);
  }
};

// The pulse lengths the analysis sees, for the failure message.
std::string SpectrumText(const fs::path& wav) {
  ImportState state;
  CollectingHost host;
  AnalyseSpectrum(state, wav.string(), host);
  std::string text = "pulse lengths seen (length: count):";
  for (int i = 0; i < kHistogramBins; ++i) {
    const int count = state.pulseHistogram[static_cast<std::size_t>(i)];
    if (count > 0) text.append(" ").append(std::to_string(i)).append(":").append(std::to_string(count));
  }
  return text;
}

class Tape2WavImport : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ToolInPath("tape2wav")) GTEST_SKIP() << "tape2wav is not installed (package fuse-emulator-utils)";
  }

  void ExpectDecodes(const fs::path& tap) {
    TapeProject original;
    NullProgress progress;
    ASSERT_TRUE(LoadTapFile(original, tap.string(), progress).ok());
    ASSERT_GT(original.blockCount(), 0);

    const fs::path wav = dir / "tape.wav";
    ASSERT_TRUE(RunTool("tape2wav -r " + std::to_string(kTape2WavRate) + " " + Quoted(tap) + " " + Quoted(wav),
                        dir / "tape2wav.log"));
    ImportState state;
    CollectingHost host;
    ASSERT_TRUE(DecodeTape(state, PulseBounds{}, wav.string(), host).ok());

    // tape2wav's silence after a block is at the low level, so the last bit
    // ends cleanly and the next block's first pilot half-wave still arrives in
    // the data part: pilot-length there brings up the question, once at every
    // boundary between blocks. "Шум" ends the record, and the rest of the
    // pilot starts the next one.
    const PulseBounds bounds;
    EXPECT_LE(host.questionLengths.size(), static_cast<std::size_t>(original.blockCount() - 1));
    for (int length : host.questionLengths) {
      EXPECT_TRUE(length >= bounds[PulseBounds::kPilotLow] && length <= bounds[PulseBounds::kPilotHigh])
          << "questioned a pulse of " << length << " samples; " << SpectrumText(wav);
    }
    RecordProperty("spectrum", SpectrumText(wav));
    EXPECT_EQ(state.loadedBlockCount(), original.blockCount());
    EXPECT_TRUE(state.loadedBlocks == original.blocks) << SpectrumText(wav);
    ASSERT_FALSE(host.lines.empty());
    EXPECT_EQ(host.lines.back(), BlocksFoundLine(original.blockCount()));
  }

  TempDir dir;
};

TEST_F(Tape2WavImport, BasicProgramFromZmakebas) {
  if (!ToolInPath("zmakebas")) GTEST_SKIP() << "zmakebas is not installed";
  std::ofstream(dir / "prog.bas") << "10 REM tape import\n"
                                     "20 FOR i=1 TO 20: PRINT i;\" \";i*i: NEXT i\n"
                                     "30 DATA 1,2,3,255,0\n"
                                     "40 PRINT \"done\"\n";
  ASSERT_TRUE(RunTool("zmakebas -a 10 -n import -o " + Quoted(dir / "prog.tap") + " " + Quoted(dir / "prog.bas"),
                      dir / "zmakebas.log"));
  ExpectDecodes(dir / "prog.tap");
}

TEST_F(Tape2WavImport, LoaderAndCodeFromPasmo) {
  if (!ToolInPath("pasmo")) GTEST_SKIP() << "pasmo is not installed";
  std::ofstream(dir / "code.asm") << "org 32768\n"
                                     "start: ld a,2\n out (254),a\n ld hl,16384\n ld de,16385\n"
                                     " ld bc,6143\n ld (hl),85\n ldir\n ret\n"
                                     " defs 300,0\n defs 300,255\n"
                                     "end start\n";
  ASSERT_TRUE(RunTool("pasmo --tapbas " + Quoted(dir / "code.asm") + " " + Quoted(dir / "code.tap"),
                      dir / "pasmo.log"));
  ExpectDecodes(dir / "code.tap");
}

TEST_F(Tape2WavImport, ScreenLargeBlockAndShortRecords) {
  const Bytes tape = testing::Concat({
      testing::MakeHeader(3, "screen", 6912, 16384),
      testing::MakeDataBlock(testing::RandomBytes(6912, 31)),
      testing::MakeHeader(3, "big", 40000, 24576),
      testing::MakeDataBlock(testing::RandomBytes(40000, 32)),
      testing::MakeDataBlock(Bytes(500, 0x00)),
      testing::MakeDataBlock(Bytes(500, 0xFF)),
      testing::MakeRawRecord({0xAA}),
      testing::MakeRawRecord({0xFF, 0x01, 0x00}),
  });
  testing::WriteFileBytes(dir / "mixed.tap", tape);
  ExpectDecodes(dir / "mixed.tap");
}

}  // namespace
}  // namespace reelo
