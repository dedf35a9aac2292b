// Blocks made from files: well-formed records with the header the Spectrum
// expects, and a clear refusal (nothing made) for every file that cannot be one.
#include <gtest/gtest.h>

#include "blocks/block_makers.h"
#include "project/checksum.h"
#include "project/header_info.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeDataBlock;
using testing::MakeHeader;
using testing::RandomBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(MakeBlocks, GivesHeaderAndDataWithRightChecksums) {
  const Bytes code = RandomBytes(300, 3);
  const Bytes screen = RandomBytes(6912, 4);
  struct Row {
    const char* name;
    MadeBlocks made;
    TapeBlock header;
    TapeBlock data;
  } rows[] = {
      {"code", MakeCodeBlocks(code, "game", 24576), MakeHeader(3, "game", 300, 24576), MakeDataBlock(code)},
      {"largest_code", MakeCodeBlocks(Bytes(65533, 7), "big", 0), MakeHeader(3, "big", 65533, 0),
       MakeDataBlock(Bytes(65533, 7))},
      {"screen", MakeScreenBlocks(screen, "pic"), MakeHeader(3, "pic", 6912, 16384), MakeDataBlock(screen)},
      {"program", MakeProgramBlocks("10 STOP\n", "p", 10), MakeHeader(0, "p", 6, 10, 6),
       MakeDataBlock({0, 10, 2, 0, 0xE2, 0x0D})},
      {"program_without_autostart", MakeProgramBlocks("10 STOP\n", "p", std::nullopt),
       MakeHeader(0, "p", 6, 32768, 6), MakeDataBlock({0, 10, 2, 0, 0xE2, 0x0D})},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(row.made.status.ok()) << row.name << ": " << row.made.status.message;
    ASSERT_EQ(row.made.blocks.size(), 2u) << row.name;
    EXPECT_EQ(row.made.blocks[0], row.header) << row.name;
    EXPECT_EQ(row.made.blocks[1], row.data) << row.name;
    EXPECT_TRUE(ChecksumMatches(row.made.blocks[0]) && ChecksumMatches(row.made.blocks[1])) << row.name;
  }
}

TEST(MakeBlocks, RefusesWhatCannotBeABlock) {
  struct Row {
    const char* name;
    MadeBlocks made;
    std::string message;
    int errorLine = -1;
  } rows[] = {
      {"empty_binary", MakeCodeBlocks({}, "x", 0), "Файл пуст: блок без данных не создан"},
      {"binary_over_65533", MakeCodeBlocks(Bytes(65534, 0), "x", 0),
       "Файл длиной 65534 байт не помещается в один блок ленты (не больше 65533 байт)"},
      {"start_over_65535", MakeCodeBlocks(Bytes(1, 0), "x", 65536), "Адрес загрузки должен быть от 0 до 65535"},
      {"cyrillic_name", MakeCodeBlocks(Bytes(1, 0), "Игра", 0),
       "В имени есть символ «И», которого нет у ZX Spectrum"},
      {"long_name", MakeCodeBlocks(Bytes(1, 0), "abcdefghijk", 0), "Имя длиннее 10 символов"},
      {"short_screen", MakeScreenBlocks(Bytes(6144, 0), "s"), "Экран ZX Spectrum - это ровно 6912 байт, а в файле 6144"},
      {"program_syntax_error", MakeProgramBlocks("10 PRINT 1\n5 STOP\n", "p", std::nullopt),
       "Ошибка в строке 2 текста BASIC: номер строки не больше номера предыдущей", 2},
      {"program_without_lines", MakeProgramBlocks("# only a comment\n", "p", std::nullopt),
       "В тексте нет ни одной строки программы BASIC"},
      {"program_autostart_over_9999", MakeProgramBlocks("10 STOP\n", "p", 10000),
       "Строка запуска должна быть от 0 до 9999"},
  };
  for (const Row& row : rows) {
    EXPECT_FALSE(row.made.status.ok()) << row.name;
    EXPECT_EQ(row.made.status.message, row.message) << row.name;
    EXPECT_TRUE(row.made.blocks.empty()) << row.name;
    EXPECT_EQ(row.made.errorLine, row.errorLine) << row.name;
  }
}

TEST(MakeBlocksFromFile, ReadsTheFileOfEachKindAndRefusesBadFiles) {
  TempDir dir;
  WriteFileBytes(dir / "prog.bas", {'1', '0', ' ', 'S', 'T', 'O', 'P', '\n'});
  WriteFileBytes(dir / "empty.bin", {});
  WriteFileBytes(dir / "huge.bin", Bytes(70000, 1));
  WriteFileBytes(dir / "code.bin", {1, 2, 3});
  struct Row {
    std::string file;
    SourceKind kind;
    std::string message;  // empty: made
  } rows[] = {
      {"prog.bas", SourceKind::Basic, ""},
      {"code.bin", SourceKind::Binary, ""},
      {"empty.bin", SourceKind::Binary, "Файл пуст"},
      {"huge.bin", SourceKind::Binary, "Файл длиной 70000 байт слишком велик (не больше 65533 байт)"},
      {"code.bin", SourceKind::Screen, "Экран ZX Spectrum - это ровно 6912 байт, а в файле 3"},
      {"missing.bin", SourceKind::Binary, "Не удалось открыть файл"},
      {"", SourceKind::Binary, "Это папка, а не файл"},
  };
  for (const Row& row : rows) {
    const MadeBlocks made = MakeBlocksFromFile((dir / row.file).string(), row.kind, "name", 32768, 10);
    EXPECT_EQ(made.status.message, row.message) << row.file;
    EXPECT_EQ(made.blocks.size(), row.message.empty() ? 2u : 0u) << row.file;
  }
}

TEST(SourceFiles, KindAndDefaultNameComeFromTheFileName) {
  struct Row {
    const char* path;
    std::uintmax_t size;
    SourceKind kind;
    const char* name;
  } rows[] = {
      {"/home/u/LOADER.BAS", 100, SourceKind::Basic, "LOADER"},
      {"/home/u/title.scr", 100, SourceKind::Screen, "title"},
      {"/home/u/picture.bin", 6912, SourceKind::Screen, "picture"},
      {"/home/u/a very long name.bin", 6913, SourceKind::Binary, "a very lon"},
      {"/home/u/игра-2.bin", 1, SourceKind::Binary, "-2"},
      {"/home/u/.hidden", 1, SourceKind::Binary, ".hidden"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(GuessSourceKind(row.path, row.size), row.kind) << row.path;
    EXPECT_EQ(DefaultBlockName(row.path), row.name) << row.path;
  }
}

}  // namespace
}  // namespace reelo
