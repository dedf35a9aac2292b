// TZX files written by the program read by the field's tools and library, and
// theirs read by the program: every test tape goes TAP -> TZX -> TAP byte for
// byte both ways; turbo and CSW tapes made by libspectrum save as TAP files of
// the records they hold; the ROM-timed WAV export decodes with audio2tape.
#include <gtest/gtest.h>
#include <libspectrum.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "external_tools.h"
#include "formats/tape_file.h"
#include "project/tap_file.h"
#include "sound/export/signal_stream.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_export.h"
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

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t CountOf(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class TapeFormatsInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"tapeconv", "tzxlist", "zmakebas", "pasmo"}) {
      if (!ToolInPath(tool)) GTEST_SKIP() << tool << " is not installed";
    }
  }

  // The test tapes: a BASIC program, a loader with code, and odd records.
  std::vector<fs::path> TestTapes() {
    std::ofstream(dir_ / "prog.bas") << "10 REM formats\n20 PRINT \"Reelo\": GO TO 20\n";
    EXPECT_TRUE(RunTool("zmakebas -a 10 -n formats -o " + Quoted(dir_ / "prog.tap") + " " + Quoted(dir_ / "prog.bas"),
                        dir_ / "zmakebas.log"));
    std::ofstream(dir_ / "code.asm") << "org 32768\nstart: ld a,2\n call 5633\n ld a,65\n rst 16\n ret\n end start\n";
    EXPECT_TRUE(RunTool("cd " + Quoted(dir_.path()) + " && pasmo --tapbas code.asm code.tap", dir_ / "pasmo.log"));
    testing::WriteFileBytes(dir_ / "mixed.tap", testing::Concat({
                                                    testing::MakeHeader(3, "screen", 6912, 16384),
                                                    testing::MakeDataBlock(testing::RandomBytes(6912, 31)),
                                                    testing::MakeRawRecord({0xAA}),
                                                    testing::MakeRawRecord({0xFF, 0xFF}),
                                                    testing::MakeRawRecord({0xFF, 0x01, 0x00}),
                                                    testing::MakeDataBlock(testing::RandomBytes(40000, 32)),
                                                }));
    return {dir_ / "prog.tap", dir_ / "code.tap", dir_ / "mixed.tap"};
  }

  TempDir dir_;
};

TEST_F(TapeFormatsInterop, TapToTzxAndBackIsByteIdenticalThroughTheProgramAndThroughTapeconv) {
  for (const fs::path& tap : TestTapes()) {
    SCOPED_TRACE(tap.filename().string());
    const Bytes original = ReadFileBytes(tap);
    NullProgress progress;
    // The program: TAP -> TZX, read by tzxlist, libspectrum and tapeconv.
    TapeProject project;
    ASSERT_EQ(LoadTapeFile(project, tap.string(), progress).kind, OpResult::Kind::Ok);
    project.fileName = (dir_ / "reelo.tzx").string();
    ASSERT_TRUE(SaveTapeFile(project, progress).ok());
    ASSERT_TRUE(RunTool("tzxlist " + Quoted(dir_ / "reelo.tzx"), dir_ / "tzxlist.log"));
    const std::string listing = ReadText(dir_ / "tzxlist.log");
    const auto blocks = static_cast<std::size_t>(project.blockCount());
    EXPECT_EQ(CountOf(listing, "Block type 0x10 (Standard Speed Data)"), blocks) << listing;
    EXPECT_EQ(CountOf(listing, "Pause length: 1000 ms"), blocks) << listing;
    ASSERT_TRUE(
        RunTool("tapeconv " + Quoted(dir_ / "reelo.tzx") + " " + Quoted(dir_ / "tapeconv.tap"), dir_ / "tapeconv.log"));
    EXPECT_TRUE(ReadFileBytes(dir_ / "tapeconv.tap") == original) << "tapeconv's TAP of the program's TZX differs";

    // libspectrum on its own reads one standard block per record.
    const Bytes tzx = ReadFileBytes(dir_ / "reelo.tzx");
    libspectrum_tape* tape = libspectrum_tape_alloc();
    ASSERT_EQ(libspectrum_tape_read(tape, tzx.data(), tzx.size(), LIBSPECTRUM_ID_TAPE_TZX, nullptr),
              LIBSPECTRUM_ERROR_NONE);
    libspectrum_tape_iterator it;
    std::size_t n = 0;
    for (auto* b = libspectrum_tape_iterator_init(&it, tape); b; b = libspectrum_tape_iterator_next(&it), ++n) {
      EXPECT_EQ(libspectrum_tape_block_type(b), LIBSPECTRUM_TAPE_BLOCK_ROM);
      EXPECT_EQ(libspectrum_tape_block_pause(b), 1000u);
      const TapeBlock& record = project.blocks[n];
      EXPECT_EQ(
          Bytes(libspectrum_tape_block_data(b), libspectrum_tape_block_data(b) + libspectrum_tape_block_data_length(b)),
          Bytes(record.begin() + 2, record.end()));
    }
    libspectrum_tape_free(tape);
    EXPECT_EQ(n, blocks);

    // The program's TZX back to TAP by the program.
    TapeProject back;
    ASSERT_EQ(LoadTapeFile(back, (dir_ / "reelo.tzx").string(), progress).kind, OpResult::Kind::Ok);
    back.fileName = (dir_ / "back.tap").string();
    ASSERT_TRUE(SaveTapeFile(back, progress).ok());
    EXPECT_TRUE(ReadFileBytes(dir_ / "back.tap") == original);

    // tapeconv's TZX read by the program, saved as TAP.
    ASSERT_TRUE(RunTool("tapeconv " + Quoted(tap) + " " + Quoted(dir_ / "theirs.tzx"), dir_ / "tapeconv2.log"));
    TapeProject theirs;
    const OpResult loaded = LoadTapeFile(theirs, (dir_ / "theirs.tzx").string(), progress);
    EXPECT_EQ(loaded.kind, OpResult::Kind::Ok) << loaded.message;
    EXPECT_EQ(theirs.blocks, project.blocks);
    theirs.fileName = (dir_ / "theirs.tap").string();
    ASSERT_TRUE(SaveTapeFile(theirs, progress).ok());
    EXPECT_TRUE(ReadFileBytes(dir_ / "theirs.tap") == original);
  }
}

// Appends a block carrying the record's bytes to a libspectrum tape.
void AppendDataBlock(libspectrum_tape* tape, libspectrum_tape_type type, const TapeBlock& record) {
  libspectrum_tape_block* block = libspectrum_tape_block_alloc(type);
  const std::size_t length = record.size() - 2;
  auto* data = static_cast<libspectrum_byte*>(libspectrum_malloc(length));
  std::copy(record.begin() + 2, record.end(), data);
  libspectrum_tape_block_set_data_length(block, length);
  libspectrum_tape_block_set_data(block, data);
  libspectrum_tape_block_set_pause(block, 500);
  if (type == LIBSPECTRUM_TAPE_BLOCK_TURBO) {
    libspectrum_tape_block_set_pilot_length(block, 1800);
    libspectrum_tape_block_set_pilot_pulses(block, 2000);
    libspectrum_tape_block_set_sync1_length(block, 500);
    libspectrum_tape_block_set_sync2_length(block, 550);
    libspectrum_tape_block_set_bit0_length(block, 600);
    libspectrum_tape_block_set_bit1_length(block, 1200);
    libspectrum_tape_block_set_bits_in_last_byte(block, 8);
  }
  libspectrum_tape_append_block(tape, block);
}

TEST_F(TapeFormatsInterop, TurboAndCswTapesMadeByLibspectrumGiveTheirRecords) {
  libspectrum_init();
  const std::vector<TapeBlock> records = {testing::MakeHeader(0, "turbo", 200),
                                          testing::MakeDataBlock(testing::RandomBytes(200, 41))};
  struct Case {
    const char* name;
    libspectrum_tape_type blockType;
    libspectrum_id_t format;
    int blocks;               // what the tape opens as
    const char* saveMessage;  // what a TAP save of it says
  };
  const Case cases[] = {
      // Kept as turbo blocks, timings and all: nothing to warn about.
      {"turbo.tzx", LIBSPECTRUM_TAPE_BLOCK_TURBO, LIBSPECTRUM_ID_TAPE_TZX, 2, ""},
      // One recording block, decoded by the save.
      {"recording.csw", LIBSPECTRUM_TAPE_BLOCK_ROM, LIBSPECTRUM_ID_TAPE_CSW, 1,
       "Сигнальных блоков расшифровано: 1; найдено записей: 2."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    libspectrum_tape* tape = libspectrum_tape_alloc();
    for (const TapeBlock& record : records) AppendDataBlock(tape, c.blockType, record);
    libspectrum_byte* buffer = nullptr;
    std::size_t length = 0;
    ASSERT_EQ(libspectrum_tape_write(&buffer, &length, tape, c.format), LIBSPECTRUM_ERROR_NONE);
    testing::WriteFileBytes(dir_ / c.name, Bytes(buffer, buffer + length));
    libspectrum_free(buffer);
    libspectrum_tape_free(tape);
    TapeProject project;
    NullProgress progress;
    const OpResult result = LoadTapeFile(project, (dir_ / c.name).string(), progress);
    EXPECT_EQ(result.kind, OpResult::Kind::Ok) << result.message;
    EXPECT_EQ(project.blockCount(), c.blocks);
    project.fileName = (dir_ / "records.tap").string();
    const OpResult saved = SaveTapeFile(project, progress);
    EXPECT_EQ(saved.kind, *c.saveMessage ? OpResult::Kind::Warning : OpResult::Kind::Ok);
    EXPECT_EQ(saved.message, c.saveMessage);
    EXPECT_TRUE(ReadFileBytes(dir_ / "records.tap") == testing::Concat({records[0], records[1]}));
  }
}

TEST_F(TapeFormatsInterop, RomTimedExportDecodesWithAudio2tapeIntoTheSameTap) {
  if (!ToolInPath("audio2tape")) GTEST_SKIP() << "audio2tape is not installed";
  for (const fs::path& tap : TestTapes()) {
    SCOPED_TRACE(tap.filename().string());
    TapeProject project;
    NullProgress progress;
    ASSERT_TRUE(LoadTapeFile(project, tap.string(), progress).ok());
    const SignalOptions options{44100, 16, false, SignalTimings::Rom};
    ASSERT_TRUE(SaveWavFile(project, (dir_ / "rom.wav").string(), options, progress).ok());
    // audio2tape misses a pilot that starts at the first sample and closes the
    // last block only at an edge after it: the copy gets some rest in front and
    // a strong pulse at the end.
    const Bytes file = ReadFileBytes(dir_ / "rom.wav");
    Bytes samples(2 * 400, 0);
    samples.insert(samples.end(), file.begin() + kWavHeaderSize, file.end());
    samples.insert(samples.end(), 2 * 4000, 0);
    for (std::int16_t level : {std::int16_t{30000}, std::int16_t{-30000}, std::int16_t{0}}) {
      for (int i = 0; i < 400; ++i) {
        samples.push_back(static_cast<std::uint8_t>(level & 0xFF));
        samples.push_back(static_cast<std::uint8_t>((level >> 8) & 0xFF));
      }
    }
    const WavHeader header = MakeWavHeader(static_cast<std::uint32_t>(samples.size()), options);
    Bytes padded(header.begin(), header.end());
    padded.insert(padded.end(), samples.begin(), samples.end());
    testing::WriteFileBytes(dir_ / "padded.wav", padded);
    ASSERT_TRUE(RunTool("audio2tape " + Quoted(dir_ / "padded.wav") + " " + Quoted(dir_ / "decoded.tzx"),
                        dir_ / "audio2tape.log"));
    ASSERT_TRUE(RunTool("tapeconv " + Quoted(dir_ / "decoded.tzx") + " " + Quoted(dir_ / "decoded.tap"),
                        dir_ / "tapeconv.log"));
    EXPECT_TRUE(ReadFileBytes(dir_ / "decoded.tap") == ReadFileBytes(tap));
  }
}

}  // namespace
}  // namespace reelo
