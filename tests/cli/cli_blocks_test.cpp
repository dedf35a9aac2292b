// bas2tap and bin2tap: the TAP written for good calls, status 2 with a Russian
// reason and no file touched for bad ones, and --append after existing blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "blocks/block_makers.h"
#include "cli/cli.h"
#include "tape_builders.h"

namespace reelo::cli {
namespace {

using reelo::testing::Bytes;
using reelo::testing::MakeDataBlock;
using reelo::testing::MakeHeader;
using reelo::testing::ReadFileBytes;
using reelo::testing::TempDir;
using reelo::testing::WriteFileBytes;

Bytes Tap(std::initializer_list<TapeBlock> blocks) { return reelo::testing::Concat(blocks); }

const TapeBlock kProgram = MakeDataBlock({0, 10, 2, 0, 0xE2, 0x0D});  // 10 STOP
const TapeBlock kOld = MakeDataBlock({7});

struct CallRow {
  const char* name;
  Args args;      // "@" stands for the test's folder
  int status;
  std::string err;  // a part of the message (empty: none)
  Bytes out;        // the TAP file afterwards (empty: no file)
};

class BlockCommands : public ::testing::TestWithParam<CallRow> {};

TEST_P(BlockCommands, WriteTheTapOrSayWhy) {
  const CallRow& row = GetParam();
  TempDir dir;
  WriteFileBytes(dir / "stop.bas", {'1', '0', ' ', 's', 't', 'o', 'p', '\n'});
  WriteFileBytes(dir / "bad.bas", {'1', '0', ' ', 'S', 'T', 'O', 'P', '\n', '5', '\n'});
  WriteFileBytes(dir / "code.bin", {1, 2, 3});
  WriteFileBytes(dir / "empty.bin", {});
  WriteFileBytes(dir / "old.tap", kOld.toVector());
  Args args;
  for (std::string arg : row.args) {
    if (arg.rfind("@/", 0) == 0) arg = (dir / arg.substr(2)).string();
    args.push_back(arg);
  }
  std::ostringstream out, err;
  Io io{out, err};
  EXPECT_EQ(RunCli(args, io), row.status) << err.str();
  if (row.err.empty()) {
    EXPECT_EQ(err.str(), "");
  } else {
    EXPECT_NE(err.str().find(row.err), std::string::npos) << err.str();
  }
  const auto written = dir / "out.tap";
  if (row.out.empty()) {
    EXPECT_FALSE(std::filesystem::exists(written));
  } else {
    EXPECT_EQ(ReadFileBytes(written), row.out);
  }
  EXPECT_EQ(ReadFileBytes(dir / "old.tap"), kOld.toVector()) << "a file given only as input is never changed";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BlockCommands,
    ::testing::Values(
        CallRow{"bas2tap_name_from_file", {"bas2tap", "@/stop.bas", "@/out.tap"}, 0, "",
                Tap({MakeHeader(0, "stop", 6, 32768, 6), kProgram})},
        CallRow{"bas2tap_autostart_and_name",
                {"bas2tap", "@/stop.bas", "@/out.tap", "--autostart", "10", "--name", "run me"}, 0, "",
                Tap({MakeHeader(0, "run me", 6, 10, 6), kProgram})},
        CallRow{"bas2tap_syntax_error", {"bas2tap", "@/bad.bas", "@/out.tap"}, 2,
                "Ошибка в строке 2 текста BASIC: номер строки не больше номера предыдущей", {}},
        CallRow{"bas2tap_autostart_out_of_range", {"bas2tap", "@/stop.bas", "@/out.tap", "--autostart", "10000"}, 2,
                "строка запуска должна быть числом от 0 до 9999", {}},
        CallRow{"bas2tap_missing_input", {"bas2tap", "@/none.bas", "@/out.tap"}, 2, "Не удалось открыть файл", {}},
        CallRow{"bin2tap", {"bin2tap", "@/code.bin", "@/out.tap", "--start", "30000"}, 0, "",
                Tap({MakeHeader(3, "code", 3, 30000), MakeDataBlock({1, 2, 3})})},
        // Past address 65535: written as asked, with a warning.
        CallRow{"bin2tap_past_the_last_address", {"bin2tap", "@/code.bin", "@/out.tap", "--start", "65534"}, 0,
                "reelo-cli: предупреждение: Данные не помещаются в память: 3 байт с адреса 65534 доходят до адреса "
                "65536, а последний адрес памяти 65535",
                Tap({MakeHeader(3, "code", 3, 65534), MakeDataBlock({1, 2, 3})})},
        CallRow{"bin2tap_up_to_the_last_address", {"bin2tap", "@/code.bin", "@/out.tap", "--start", "65533"}, 0, "",
                Tap({MakeHeader(3, "code", 3, 65533), MakeDataBlock({1, 2, 3})})},
        CallRow{"bin2tap_without_start", {"bin2tap", "@/code.bin", "@/out.tap"}, 2,
                "не указан адрес загрузки --start", {}},
        CallRow{"bin2tap_start_too_big", {"bin2tap", "@/code.bin", "@/out.tap", "--start=65536"}, 2,
                "адрес загрузки должен быть числом от 0 до 65535", {}},
        CallRow{"bin2tap_empty_file", {"bin2tap", "@/empty.bin", "@/out.tap", "--start", "0"}, 2, "Файл пуст", {}},
        CallRow{"bin2tap_bad_name", {"bin2tap", "@/code.bin", "@/out.tap", "--start", "0", "--name", "код"}, 2,
                "В имени есть символ «к», которого нет у ZX Spectrum", {}},
        CallRow{"bin2tap_into_missing_folder", {"bin2tap", "@/code.bin", "@/no/out.tap", "--start", "0"}, 2,
                "reelo-cli: ", {}},
        CallRow{"append_to_missing_file_makes_it",
                {"bin2tap", "@/code.bin", "@/out.tap", "--start", "1", "--append"}, 0, "",
                Tap({MakeHeader(3, "code", 3, 1), MakeDataBlock({1, 2, 3})})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockCommands, AppendGoesAfterTheBlocksAlreadyThere) {
  TempDir dir;
  WriteFileBytes(dir / "stop.bas", {'1', '0', ' ', 'S', 'T', 'O', 'P', '\n'});
  WriteFileBytes(dir / "code.bin", {4, 5});
  WriteFileBytes(dir / "tape.tap", kOld.toVector());
  const std::string tape = (dir / "tape.tap").string();
  std::ostringstream out, err;
  Io io{out, err};
  ASSERT_EQ(RunCli({"bas2tap", (dir / "stop.bas").string(), tape, "--append", "--name", "p"}, io), kExitOk);
  ASSERT_EQ(RunCli({"bin2tap", (dir / "code.bin").string(), tape, "--append", "--start", "9", "--name", "c"}, io),
            kExitOk);
  EXPECT_EQ(ReadFileBytes(tape), Tap({kOld, MakeHeader(0, "p", 6, 32768, 6), kProgram, MakeHeader(3, "c", 2, 9),
                                      MakeDataBlock({4, 5})}));
  // Without --append the file is replaced.
  ASSERT_EQ(RunCli({"bin2tap", (dir / "code.bin").string(), tape, "--start", "9", "--name", "c"}, io), kExitOk);
  EXPECT_EQ(ReadFileBytes(tape), Tap({MakeHeader(3, "c", 2, 9), MakeDataBlock({4, 5})}));
}

TEST(BlockCommands, AppendRefusesToPassTheBlockLimit) {
  TempDir dir;
  WriteFileBytes(dir / "code.bin", {4, 5});
  Bytes full;
  for (int i = 0; i < 999; ++i) full.insert(full.end(), kOld.begin(), kOld.end());
  WriteFileBytes(dir / "full.tap", full);
  std::ostringstream out, err;
  Io io{out, err};
  EXPECT_EQ(RunCli({"bin2tap", (dir / "code.bin").string(), (dir / "full.tap").string(), "--append", "--start", "0"},
                   io),
            2);
  EXPECT_NE(err.str().find("В проекте может быть не больше 1000 блоков"), std::string::npos) << err.str();
  EXPECT_EQ(ReadFileBytes(dir / "full.tap"), full);
}

// view basic's listing, saved and given to bas2tap, makes the same program:
// the listing spaces keywords as LIST does and spells the Spectrum's own
// characters so that they read back.
TEST(BlockCommands, ViewBasicReadsBackThroughBas2tap) {
  const struct {
    const char* name;
    const char* text;
    const char* listing;
  } rows[] = {
      {"print_at_and_functions", "10 PRINT AT 1,2;TAB 3;\"x\": LET a=SIN PI+RND*2\n",
       "   10 PRINT AT 1,2;TAB 3;\"x\": LET a=SIN PI+RND*2\n"},
      {"keywords_after_keywords", "10 IF a<>b THEN GO TO 10\n20 OPEN #4,\"s\": RANDOMIZE USR 0\n",
       "   10 IF a<>b THEN GO TO 10\n   20 OPEN #4,\"s\": RANDOMIZE USR 0\n"},
      {"save_code_and_graphics", "10 SAVE \"a\" CODE 16384,6912: PRINT \"\\:: \\a\\\\\"\n",
       "   10 SAVE \"a\"CODE 16384,6912: PRINT \"\\:: \\a\\\\\"\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    WriteFileBytes(dir / "in.bas", Bytes(row.text, row.text + std::strlen(row.text)));
    std::ostringstream out, err;
    Io io{out, err};
    ASSERT_EQ(RunCli({"bas2tap", (dir / "in.bas").string(), (dir / "one.tap").string()}, io), kExitOk) << err.str();
    ASSERT_EQ(RunCli({"view", "basic", (dir / "one.tap").string(), "2"}, io), kExitOk) << err.str();
    EXPECT_EQ(out.str(), row.listing);
    const std::string listing = out.str();
    WriteFileBytes(dir / "listed.bas", Bytes(listing.begin(), listing.end()));
    ASSERT_EQ(RunCli({"bas2tap", (dir / "listed.bas").string(), (dir / "two.tap").string(), "--name", "in"}, io),
              kExitOk)
        << err.str();
    EXPECT_EQ(ReadFileBytes(dir / "two.tap"), ReadFileBytes(dir / "one.tap"));
  }
}

}  // namespace
}  // namespace reelo::cli
