// A header's fields as the Spectrum reads them, the name rule, and header
// edits that keep what the user did not touch and recompute the checksum.
#include <gtest/gtest.h>

#include "project/checksum.h"
#include "project/edits.h"
#include "project/header_info.h"
#include "project/pair_check.h"
#include "tape_builders.h"

namespace reelo {
namespace {

using testing::MakeDataBlock;
using testing::MakeHeader;

struct ReadRow {
  const char* name;
  TapeBlock block;
  std::string typeName;
  std::optional<int> start, autostart;
  std::optional<std::string> variable;
};

class ReadHeaderTable : public ::testing::TestWithParam<ReadRow> {};

TEST_P(ReadHeaderTable, ReadsTheFieldsOfItsType) {
  const ReadRow& row = GetParam();
  const std::optional<HeaderInfo> info = ReadHeader(row.block);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->typeName, row.typeName);
  EXPECT_EQ(info->start, row.start);
  EXPECT_EQ(info->autostart, row.autostart);
  EXPECT_EQ(info->variable, row.variable);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadHeaderTable,
    ::testing::Values(ReadRow{"program_line_10", MakeHeader(0, "run", 200, 10, 180), "Program", {}, 10, {}},
                      ReadRow{"program_line_9999", MakeHeader(0, "run", 200, 9999, 180), "Program", {}, 9999, {}},
                      ReadRow{"program_no_autostart", MakeHeader(0, "x", 200, 32768, 200), "Program", {}, {}, {}},
                      ReadRow{"program_65535", MakeHeader(0, "x", 200, 65535, 200), "Program", {}, {}, {}},
                      ReadRow{"screen", MakeHeader(3, "pic", 6912, 16384), "Bytes", 16384, {}, {}},
                      ReadRow{"number_array_a", MakeHeader(1, "d", 20, 0x8100), "Number array", {}, {}, "a()"},
                      ReadRow{"character_array_z", MakeHeader(2, "d", 20, 0xDA00), "Character array", {}, {},
                              "z$()"},
                      ReadRow{"unknown_type", MakeHeader(7, "odd", 1), "неизвестный (7)", {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadHeader, OnlyARecordOfLength19IsAHeader) {
  EXPECT_TRUE(ReadHeader(MakeDataBlock(std::vector<std::uint8_t>(17, 0))));
  EXPECT_FALSE(ReadHeader(MakeDataBlock(std::vector<std::uint8_t>(16, 0))));
  EXPECT_FALSE(ReadHeader(MakeDataBlock(std::vector<std::uint8_t>(18, 0))));
  EXPECT_FALSE(ReadHeader(TapeBlock{}));
}

TEST(SpectrumNameBytes, TakesOnlyCharactersTheSpectrumHas) {
  struct Row {
    std::string text;
    std::string error;     // empty: accepted
    std::string expected;  // the ten bytes
  } rows[] = {
      {"hello", "", "hello     "},
      {"", "", "          "},
      {"0123456789", "", "0123456789"},
      {"£©↑", "", "\x60\x7F\x5E       "},
      {"01234567890", "Имя длиннее 10 символов", ""},
      {"Привет", "В имени есть символ «П», которого нет у ZX Spectrum", ""},
      {"tab\there", "В имени есть символ «\t», которого нет у ZX Spectrum", ""},
      {"a\xFF", "Имя - не текст UTF-8", ""},
      {"a\xD0", "Имя - не текст UTF-8", ""},
  };
  for (const Row& row : rows) {
    HeaderName name;
    name.fill(0);
    const OpResult result = SpectrumNameBytes(row.text, name);
    EXPECT_EQ(result.message, row.error) << row.text;
    if (row.error.empty()) {
      EXPECT_EQ(std::string(name.begin(), name.end()), row.expected) << row.text;
    }
  }
}

struct BuildRow {
  const char* name;
  TapeBlock old;
  std::function<void(HeaderFields&)> change;
  std::string error;  // empty: built
  TapeBlock expected;
};

class BuildHeaderTable : public ::testing::TestWithParam<BuildRow> {};

TEST_P(BuildHeaderTable, ChangesOnlyWhatTheUserChanged) {
  const BuildRow& row = GetParam();
  HeaderFields fields = FieldsOfHeader(*ReadHeader(row.old));
  row.change(fields);
  const HeaderBuild built = BuildHeader(row.old, fields);
  EXPECT_EQ(built.status.message, row.error);
  if (!row.error.empty()) return;
  EXPECT_EQ(built.block, row.expected);
  EXPECT_TRUE(ChecksumMatches(built.block));
}

TapeBlock WithFlag(TapeBlock block, std::uint8_t flag) {
  block.mutableBytes()[2] = flag;
  block.mutableBytes().back() = 0;
  for (std::size_t i = 2; i + 1 < block.size(); ++i) block.mutableBytes().back() ^= block[i];
  return block;
}

TapeBlock WithNameByte(TapeBlock block, int k, std::uint8_t byte) {
  block.mutableBytes()[static_cast<std::size_t>(4 + k)] = byte;
  return WithFlag(block, block[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BuildHeaderTable,
    ::testing::Values(
        BuildRow{"rename", MakeHeader(3, "old", 100, 30000), [](auto& f) { f.name = "new name"; }, "",
                 MakeHeader(3, "new name", 100, 30000)},
        BuildRow{"move_code", MakeHeader(3, "c", 100, 30000), [](auto& f) { f.start = 40000; }, "",
                 MakeHeader(3, "c", 100, 40000)},
        BuildRow{"set_autostart", MakeHeader(0, "p", 90, 32768, 80), [](auto& f) { f.autostart = 0; }, "",
                 MakeHeader(0, "p", 90, 0, 80)},
        BuildRow{"clear_autostart_keeps_odd_value", MakeHeader(0, "p", 90, 40000, 80),
                 [](auto& f) { f.name = "q"; }, "", MakeHeader(0, "q", 90, 40000, 80)},
        BuildRow{"shorter_program_clamps_variables_offset", MakeHeader(0, "p", 90, 10, 80),
                 [](auto& f) { f.dataLength = 50; }, "", MakeHeader(0, "p", 50, 10, 50)},
        BuildRow{"code_becomes_program", MakeHeader(3, "c", 100, 30000), [](auto& f) {
                   f.type = 0;
                   f.autostart = 1;
                 }, "", MakeHeader(0, "c", 100, 1, 100)},
        BuildRow{"program_becomes_code", MakeHeader(0, "p", 90, 10, 80), [](auto& f) {
                   f.type = 3;
                   f.start = 16384;
                 }, "", MakeHeader(3, "p", 90, 16384, 32768)},
        BuildRow{"array_letter", MakeHeader(2, "d", 20, 0xC1FF), [](auto& f) { f.variable = 'Q'; }, "",
                 MakeHeader(2, "d", 20, 0xD1FF)},
        BuildRow{"flag_kept", WithFlag(MakeHeader(3, "c", 1, 1), 0xFF), [](auto& f) { f.start = 2; }, "",
                 WithFlag(MakeHeader(3, "c", 1, 2), 0xFF)},
        BuildRow{"graphic_name_kept", WithNameByte(MakeHeader(3, "ab", 5, 1), 1, 0x8F),
                 [](auto& f) { f.start = 7; }, "", WithNameByte(MakeHeader(3, "ab", 5, 7), 1, 0x8F)},
        BuildRow{"start_at_the_top_of_memory", MakeHeader(3, "c", 9, 1), [](auto& f) { f.start = 65535; }, "",
                 MakeHeader(3, "c", 9, 65535)},
        BuildRow{"autostart_9999", MakeHeader(0, "p", 9, 1, 9), [](auto& f) { f.autostart = 9999; }, "",
                 MakeHeader(0, "p", 9, 9999, 9)},
        BuildRow{"autostart_over_9999", MakeHeader(0, "p", 9, 1, 9), [](auto& f) { f.autostart = 10000; },
                 "Строка запуска должна быть от 0 до 9999", {}},
        BuildRow{"start_over_65535", MakeHeader(3, "c", 9, 1), [](auto& f) { f.start = 65536; },
                 "Адрес загрузки должен быть от 0 до 65535", {}},
        BuildRow{"length_over_65533", MakeHeader(3, "c", 9, 1), [](auto& f) { f.dataLength = 65534; },
                 "Длина данных должна быть от 0 до 65533", {}},
        BuildRow{"variable_not_a_letter", MakeHeader(1, "d", 9, 0x8100), [](auto& f) { f.variable = '1'; },
                 "Имя массива должно быть буквой от a до z", {}},
        BuildRow{"cyrillic_name", MakeHeader(3, "c", 9, 1), [](auto& f) { f.name = "Я"; },
                 "В имени есть символ «Я», которого нет у ZX Spectrum", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditHeader, IsOneUndoableStepAndRefusesDataBlocks) {
  TapeProject project;
  project.blocks = {MakeHeader(3, "code", 3, 30000), MakeDataBlock({1, 2, 3})};
  const TapeProject before = project;
  EditHistory history;
  HeaderFields fields = FieldsOfHeader(*ReadHeader(project.blocks[0]));
  fields.name = "renamed";
  const EditResult result = EditHeader(project, history, 0, fields);
  ASSERT_TRUE(result.changed);
  EXPECT_EQ(project.blocks[0], MakeHeader(3, "renamed", 3, 30000));
  EXPECT_EQ(result.selection, std::vector<int>{0});
  history.Undo(project);
  EXPECT_EQ(project.blocks, before.blocks);
  EXPECT_FALSE(project.modified);

  const EditResult refused = EditHeader(project, history, 1, fields);
  EXPECT_FALSE(refused.status.ok());
  EXPECT_EQ(project.blocks, before.blocks);
  EXPECT_FALSE(EditHeader(project, history, 0, FieldsOfHeader(*ReadHeader(project.blocks[0]))).changed);
}

TEST(PastMemoryEndWarning, OnlyForBytesThatRunPast65535) {
  struct Row {
    const char* name;
    std::uint8_t type;
    int start, length;
    std::string warning;
  } rows[] = {
      {"ends_at_65535", kBytesType, 32768, 32768, ""},
      {"one_byte_past", kBytesType, 32768, 32769,
       "Данные не помещаются в память: 32769 байт с адреса 32768 доходят до адреса 65536, а последний адрес памяти "
       "65535"},
      {"49000_at_32768", kBytesType, 32768, 49000,
       "Данные не помещаются в память: 49000 байт с адреса 32768 доходят до адреса 81767, а последний адрес памяти "
       "65535"},
      {"last_address_alone", kBytesType, 65535, 1, ""},
      {"empty_data_at_the_end", kBytesType, 65535, 0, ""},
      {"a_program_has_no_start", kProgramType, 65535, 40000, ""},
  };
  for (const Row& row : rows) {
    HeaderFields fields;
    fields.type = row.type;
    fields.start = row.start;
    fields.dataLength = row.length;
    EXPECT_EQ(PastMemoryEndWarning(fields), row.warning) << row.name;
  }
}

TEST(DataLengthAfter, IsTheLengthOfTheFollowingDataBlockOnly) {
  TapeProject project;
  project.blocks = {MakeHeader(3, "a", 5), MakeDataBlock({1, 2}), MakeHeader(3, "b", 5), MakeHeader(3, "c", 5)};
  EXPECT_EQ(DataLengthAfter(project, 0), 2);
  EXPECT_EQ(DataLengthAfter(project, 2), std::nullopt);
  EXPECT_EQ(DataLengthAfter(project, 3), std::nullopt);
  EXPECT_EQ(DataLengthAfter(project, -1), std::nullopt);
}

TEST(CheckPairs, ListsEveryHeaderAndDataBlockThatDoNotPairUp) {
  TapeProject project;
  project.blocks = {
      MakeDataBlock({9}),                  // 1: no header
      MakeHeader(3, "ok", 2), MakeDataBlock({1, 2}),
      MakeHeader(3, "long", 5), MakeDataBlock({1, 2, 3}),  // 4: length 5, data 3
      MakeHeader(0, "alone", 1),           // 6: followed by a header
      MakeHeader(3, "last", 1),            // 7: nothing after it
  };
  const std::vector<PairProblem> problems = CheckPairs(project);
  EXPECT_EQ(PairProblemsText(problems),
            "Заголовки и блоки данных не складываются в пары:\n"
            "Блок № 1: блок данных без заголовка\n"
            "Блок № 4: в заголовке длина 5, а в блоке данных после него 3\n"
            "Блок № 6: после заголовка нет блока данных\n"
            "Блок № 7: после заголовка нет блока данных");

  const TapeProject before = project;
  EditHistory history;
  const EditResult fixed = FixHeaderLengths(project, history, problems);
  EXPECT_EQ(fixed.selection, std::vector<int>{3});
  EXPECT_EQ(project.blocks[3], MakeHeader(3, "long", 3));
  EXPECT_EQ(CheckPairs(project).size(), 3u);
  history.Undo(project);
  EXPECT_EQ(project.blocks, before.blocks);

  project.blocks = {MakeHeader(3, "a", 1), MakeDataBlock({1})};
  EXPECT_TRUE(CheckPairs(project).empty());
  EXPECT_EQ(PairProblemsText({}), "");
}

}  // namespace
}  // namespace reelo
