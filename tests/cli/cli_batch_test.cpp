// reelo-cli convert over many files: what each input becomes, the summary,
// the exit status, and Ctrl+C in the middle of a batch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <sstream>

#include "../formats/tape_images.h"
#include "cli/cli.h"
#include "cli/cli_batch.h"
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

TEST(CliBatch, PlanKeepsTheFirstOfDuplicatesAndCollisions) {
  const std::vector<BatchItem> plan =
      PlanBatch({"a/game.tzx", "b/game.tzx", "a/game.tzx", "a/x.tap", "out/x.tzx", "c/notes"}, "out", "tzx");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"out/game.tzx", ""},
      {"out/game.tzx", "выходной файл out/game.tzx уже получает a/game.tzx (одинаковые имена из разных папок)"},
      {"out/game.tzx", "файл указан дважды, переводится один раз"},
      {"out/x.tzx", "выходной файл out/x.tzx заменил бы другой входной файл"},
      {"out/x.tzx", ""},  // its own output: read whole, then replaced atomically
      {"out/notes.tzx", ""},
  };
  ASSERT_EQ(plan.size(), expected.size());
  for (std::size_t i = 0; i < plan.size(); ++i) {
    SCOPED_TRACE(plan[i].input);
    EXPECT_EQ(plan[i].output, expected[i].first);
    EXPECT_EQ(plan[i].problem, expected[i].second);
  }
  EXPECT_EQ(BatchOptionsSpelledOut({"-j", "2", "-j3", "--", "-j"}), (Args{"--jobs", "2", "--jobs=3", "--", "-j"}));
}

TEST(CliBatch, EachFileOnItsOwnWithASummaryAndTheWorstStatus) {
  TempDir dir;
  const std::string d = dir.path().string() + "/";
  const TapeBlock header = MakeHeader(3, "code", 2);
  const TapeBlock data = MakeDataBlock({0x12, 0x34});
  WriteFileBytes(d + "good.tzx", Tzx({TzxRom(header), TzxRom(data)}));
  WriteFileBytes(d + "also.tap", Concat({header, data}));
  WriteFileBytes(d + "broken.tzx", Bytes{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20, 0x10, 0, 0, 9});
  WriteFileBytes(d + "old.tap", header.toVector());
  std::filesystem::create_directories(d + "sub");
  WriteFileBytes(d + "sub/good.tap", Concat({header}));
  WriteFileBytes(d + "file", Bytes{0});
  std::filesystem::create_directories(d + "out");
  WriteFileBytes(d + "out/old.tzx", Bytes{9});
  struct Row {
    const char* name;
    Args args;
    int code;
    std::string errPieces;  // lines that must all be in err
  };
  const std::vector<Row> rows = {
      {"good ones, a missing one and a broken one, two threads",
       {"convert", "--to", "tzx", "--out-dir", d + "out", "-j", "2", d + "good.tzx", d + "none.tzx", d + "also.tap",
        d + "broken.tzx"},
       2,
       "код 2: " + d + "none.tzx\n" + "Не удалось открыть файл " + d + "none.tzx\n" + "код 1: " + d +
           "broken.tzx\nПереведено 2 из 4 файлов в " + d + "out; с ошибками 1; без блоков 1."},
      {"a folder given as a file",
       {"convert", "--to", "tap", "--out-dir", d + "out", d + "sub"},
       2,
       "код 2: " + d + "sub\nНе удалось открыть файл " + d + "sub: это папка"},
      {"an existing output is kept",
       {"convert", "--to", "tzx", "--out-dir", d + "out", d + "old.tap"},
       2,
       "выходной файл уже есть, не заменяется (--overwrite - заменить): " + d + "out/old.tzx\nПереведено 0 из 1 файла"},
      {"same base name from another folder, duplicates",
       {"convert", "--to", "wav", "--out-dir", d + "out", "--bits", "16", d + "also.tap", d + "good.tzx",
        d + "sub/good.tap", d + "also.tap"},
       2,
       "файл указан дважды\nуже получает " + d + "good.tzx\nПереведено 2 из 4 файлов"},
      {"output folder under a file",
       {"convert", "--to", "tap", "--out-dir", d + "file/out", d + "good.tzx"},
       2,
       "в папку для результатов нельзя записать: " + d + "file/out: часть пути не является папкой"},
      {"missing output folder", {"convert", "--to", "tap", "--out-dir", d + "nowhere", d + "good.tzx"}, 2,
       "в папку для результатов нельзя записать: " + d + "nowhere: файл или папка не найдены"},
      {"format that is only read", {"convert", "--to", "csw", "--out-dir", d + "out", d + "good.tzx"}, 2,
       "--to: формат tap, tzx или wav"},
      {"sound options for TAP", {"convert", "--to", "tap", "--out-dir", d + "out", "--invert", d + "good.tzx"}, 2,
       "параметры звука действуют только для WAV-файла"},
      {"no output folder", {"convert", "--to", "tap", d + "good.tzx"}, 2, "нужны --to ФОРМАТ и --out-dir ПАПКА"},
      {"jobs out of range", {"convert", "--to", "tap", "--out-dir", d + "out", "-j0", d + "good.tzx"}, 2,
       "-j: число потоков от 1 до 256"},
      {"three files without --to", {"convert", d + "good.tzx", d + "also.tap", d + "x.tap"}, 2,
       "лишний аргумент " + d + "x.tap (несколько файлов: --to ФОРМАТ --out-dir ПАПКА)"},
      {"eleven files, ten of them the same",
       {"convert", "--to", "tap", "--out-dir", d + "out", "--overwrite", d + "also.tap", d + "also.tap", d + "also.tap",
        d + "also.tap", d + "also.tap", d + "also.tap", d + "also.tap", d + "also.tap", d + "also.tap", d + "also.tap",
        d + "also.tap"},
       2,
       "Переведено 1 из 11 файлов в " + d + "out; с ошибками 10."},
      {"overwrite asked", {"convert", "--to", "tzx", "--out-dir", d + "out", "--overwrite", d + "old.tap"}, 0,
       "Переведено 1 из 1 файла в " + d + "out."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const CliRun run = RunWith(row.args);
    EXPECT_EQ(run.code, row.code) << run.err;
    EXPECT_EQ(run.out, "");
    std::istringstream pieces(row.errPieces);
    for (std::string piece; std::getline(pieces, piece);) EXPECT_NE(run.err.find(piece), std::string::npos) << piece;
  }
  EXPECT_EQ(ReadFileBytes(d + "out/good.tzx"), Tzx({TzxRom(header), TzxRom(data)}));
  EXPECT_EQ(ReadFileBytes(d + "out/also.tzx"), Tzx({TzxRom(header), TzxRom(data)}));
  EXPECT_EQ(ReadFileBytes(d + "out/old.tzx"), Tzx({TzxRom(header)}));
  EXPECT_EQ(ReadFileBytes(d + "out/good.wav").size() > 44, true);
  EXPECT_FALSE(std::filesystem::exists(d + "out/broken.tzx"));
  EXPECT_FALSE(std::filesystem::exists(d + "out/none.tzx"));
}

// SIGINT arrives while the first file is being renamed into place: that file
// is finished, no further file is started, and the summary says so with 130.
int RenameAndInterrupt(const char* from, const char* to) {
  kill(getpid(), SIGINT);
  return SystemFileCalls().rename(from, to);
}

TEST(CliBatch, InterruptFinishesTheFileUnderWayAndStartsNoMore) {
  TempDir dir;
  const std::string d = dir.path().string() + "/";
  const TapeBlock header = MakeHeader(3, "code", 1);
  const TapeBlock data = MakeDataBlock({7});
  const Bytes tape = Concat({header, data});
  for (const char* name : {"first.tap", "second.tap", "third.tap"}) WriteFileBytes(d + name, tape);
  std::filesystem::create_directories(d + "out");
  FileCalls calls = SystemFileCalls();
  calls.rename = RenameAndInterrupt;
  CliRun run{};
  {
    ScopedFileCalls interrupting(calls);
    run = RunWith({"convert", "--to", "tzx", "--out-dir", d + "out", "-j", "1", d + "first.tap", d + "second.tap",
                   d + "third.tap"});
  }
  EXPECT_EQ(run.code, 130) << run.err;
  EXPECT_NE(run.err.find("Прервано: переведено 1 из 3 файлов в " + d + "out; не начато 2."), std::string::npos)
      << run.err;
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(d + "out")) written.push_back(entry.path().filename());
  EXPECT_EQ(written, std::vector<std::string>{"first.tzx"});  // and no temporary file left behind
  EXPECT_EQ(ReadFileBytes(d + "out/first.tzx"), Tzx({TzxRom(header), TzxRom(data)}));
}

}  // namespace
}  // namespace reelo::cli
