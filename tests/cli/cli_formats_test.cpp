// reelo-cli's list, convert and view on tapes of every format: output, files
// written and exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "../formats/tape_images.h"
#include "cli/cli.h"
#include "project/file_calls.h"
#include "tape_builders.h"

namespace reelo::cli {
namespace {

using namespace reelo::testing;

struct CliRun {
  int code;
  std::string out, err;
};

CliRun RunWith(const Args& args) {
  std::ostringstream out, err;
  Io io{out, err};
  const int code = RunCli(args, io);
  return {code, out.str(), err.str()};
}

TEST(CliFormats, ListConvertAndViewAnswerAsTheirRowsSay) {
  TempDir dir;
  const TapeBlock header = MakeHeader(0, "hello", 9);
  const TapeBlock program = MakeDataBlock({0x00, 0x0A, 0x05, 0x00, 0xF5, 0x22, 0x41, 0x22, 0x0D});
  const std::string tzx = (dir / "t.tzx").string();
  WriteFileBytes(tzx, Tzx({TzxRom(header), TzxPause(100), TzxRom(program)}));
  const std::string d = dir.path().string() + "/";
  const std::string csw = d + "r.csw";
  WriteFileBytes(csw, CswV1(Joined({Silence(100), RomPulses(header), Silence(300), RomPulses(program), Silence(300)})));
  struct Row {
    const char* name;
    Args args;
    int code;
    std::string out;
    std::string errPiece;
  };
  const std::vector<Row> rows = {
      // The pause is a block of the tape, listed in its place.
      {"list",
       {"list", tzx},
       0,
       "Program: hello     \nПауза 0,1 с\n      9 байт данных\nБлоков: 3\nФайлов: 1\nВсего данных: 11 байт\n",
       ""},
      {"basic listing of block 3", {"view", "basic", tzx, "3"}, 0, "   10 PRINT \"A\"\n", ""},
      {"no such block", {"view", "text", tzx, "4"}, 2, "", "нет блока с номером 4"},
      {"screen needs a PNG name", {"view", "screen", tzx, "3"}, 2, "", "не указан PNG-файл"},
      {"convert to TAP says what it leaves out",
       {"convert", tzx, d + "t.tap"},
       0,
       "",
       "Блоки 2 (тоны, импульсы, паузы, группы, циклы, тексты) в файл не попадут."},
      // A CSW file is one recording block; a TAP file of it holds the records decoded from it.
      {"list of a CSW file",
       {"list", csw},
       0,
       "Запись CSW: 11785 байт, 44100 Гц\nБлоков: 1\nФайлов: 0\nВсего данных: 0 байт\n",
       ""},
      {"convert a CSW file to TAP", {"convert", csw, d + "r.tap"}, 0, "",
       "Блоки 1 (записи сигнала) будут расшифрованы: в файл попадут найденные в них записи.\n"
       "Сигнальных блоков расшифровано: 1; найдено записей: 2.\n"},
      {"convert a CSW file to TZX", {"convert", csw, d + "r.tzx"}, 0, "", ""},
      {"convert to 16-bit WAV", {"convert", tzx, d + "t.wav", "--rate", "44100", "--bits", "16"}, 0, "", ""},
      {"sound options for a TZX", {"convert", tzx, d + "x.tzx", "--invert"}, 2, "", "только для WAV-файла"},
      {"unsupported rate", {"convert", tzx, d + "y.wav", "--rate", "8000"}, 2, "", "22050, 44100 или 48000"},
      {"CSW as output", {"convert", tzx, d + "t.csw"}, 2, "", "PZX и CSW только читаются"},
      // A recording is decoded as `decode` does; a tape command given one says what it is.
      {"recording as input", {"convert", d + "t.wav", d + "z.tap"}, 0, "", ""},
      {"recording given to list", {"list", d + "t.wav"}, 2, "", "это звуковой файл WAV"},
      {"missing tape", {"list", d + "none.tzx"}, 2, "", "Не удалось открыть файл"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const CliRun run = RunWith(row.args);
    EXPECT_EQ(run.code, row.code) << run.err;
    EXPECT_EQ(run.out, row.out);
    EXPECT_NE(run.err.find(row.errPiece), std::string::npos) << run.err;
  }
  EXPECT_EQ(ReadFileBytes(d + "t.tap"), Concat({header, program}));
  EXPECT_EQ(ReadFileBytes(d + "r.tap"), Concat({header, program}));
  const Bytes recording = ReadFileBytes(d + "r.tzx");
  ASSERT_GT(recording.size(), 10u);
  EXPECT_EQ(recording[10], 0x18);
  // A damaged block's line carries a mark and what is wrong.
  TapeBlock damaged = program;
  damaged.mutableBytes().back() ^= 1;
  WriteFileBytes(d + "d.tap", Concat({header, damaged, MakeRawRecord({0xFF})}));
  EXPECT_EQ(RunWith({"list", d + "d.tap"}).out,
            "Program: hello     \n      9 байт данных  ! Контрольная сумма не совпадает: записано 72, должно быть 73\n"
            "      0 байт данных (блок повреждён)  ! Блок повреждён: в записи только флаг, нет контрольной суммы\n"
            "Блоков: 3\nФайлов: 1\nВсего данных: 12 байт\n");
  EXPECT_EQ(ReadFileBytes(d + "z.tap"), Concat({header, program}));
  EXPECT_EQ(RunWith({"view", "screen", d + "t.tap", "2", d + "s.png"}).code, 0);
  const Bytes png = ReadFileBytes(d + "s.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(Bytes(png.begin() + 12, png.begin() + 24),
            (Bytes{'I', 'H', 'D', 'R', 0, 0, 1, 0, 0, 0, 0, 0xC0}));  // 256 x 192
}

// What a single convert asks of the disk: an output that replaces a file is
// flushed to the disk before its rename, with its writeback started while it
// is written; a new one is neither (nothing older can be lost, and the disk is
// not waited for); every output still arrives whole through a renamed
// temporary file, and the file calls in place before the call are in place
// after it.
int syncs = 0;
int writebacks = 0;
int CountSync(int) {
  ++syncs;
  return 0;
}
int CountWriteback(int fd, off_t offset, off_t length, unsigned flags) {
  ++writebacks;
  return SystemFileCalls().syncRange(fd, offset, length, flags);
}

TEST(CliFormats, ConvertSyncsOnlyWhenItReplacesAFile) {
  TempDir dir;
  const std::string tzx = (dir / "t.tzx").string();
  // A 48 KB block: its WAV is about 5.6 MB, long enough for writeback to start.
  WriteFileBytes(tzx, Tzx({TzxRom(MakeHeader(3, "code", 49152, 32768)), TzxRom(MakeDataBlock(Bytes(49152, 0x3C)))}));
  struct Row {
    const char* name;
    const char* output;
    bool existsBefore;
    int syncs;
    bool writeback;  // started before the sync
  };
  const Row rows[] = {
      {"new TAP", "new.tap", false, 0, false},
      {"TAP over an older file", "old.tap", true, 1, false},
      {"new TZX", "new.tzx", false, 0, false},
      {"new WAV", "new.wav", false, 0, false},
      {"WAV over an older file", "old.wav", true, 1, true},
  };
  for (const Row& row : rows) {
    const auto output = dir / row.output;
    if (row.existsBefore) WriteFileBytes(output, Bytes(100000, 0xAA));
    FileCalls counting = SystemFileCalls();
    counting.fsync = CountSync;
    counting.syncRange = CountWriteback;
    const ScopedFileCalls scoped(counting);
    syncs = writebacks = 0;
    const CliRun run = RunWith({"convert", tzx, output.string()});
    EXPECT_EQ(run.code, 0) << row.name << ": " << run.err;
    EXPECT_EQ(syncs, row.syncs) << row.name;
    EXPECT_EQ(writebacks > 0, row.writeback) << row.name;
    EXPECT_EQ(&ActiveFileCalls(), &counting) << row.name;
    const Bytes written = ReadFileBytes(output);
    ASSERT_GT(written.size(), 20u) << row.name;
    EXPECT_NE(written[0], 0xAA) << row.name;
  }
  // Nothing but the input and the outputs: no temporary file left behind.
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".reelo", 0), std::string::npos) << entry.path();
    ++files;
  }
  EXPECT_EQ(files, 6u);
}

}  // namespace
}  // namespace reelo::cli
