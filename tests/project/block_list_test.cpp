#include "project/block_list.h"

#include <gtest/gtest.h>

#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeBlock;
using testing::MakeDataBlock;
using testing::MakeHeader;
using testing::MakeRawRecord;

struct LineCase {
  const char* name;
  TapeBlock block;
  std::string line;
};

class BlockListLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(BlockListLineTest, DescribesTheBlock) { EXPECT_EQ(BlockListLine(GetParam().block), GetParam().line); }

TapeBlock HeaderWithNameBytes(std::uint8_t type, const Bytes& name) {
  Bytes data{type};
  data.insert(data.end(), name.begin(), name.end());
  data.resize(17, 0);
  return MakeBlock(0, data);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BlockListLineTest,
    ::testing::Values(
        LineCase{"Screen", MakeDataBlock(Bytes(6912, 0)), "      6912 байт данных"},
        LineCase{"FlagAndChecksumOnly", MakeRawRecord({0xFF, 0xFF}), "      0 байт данных"},
        // Too short for a flag and a checksum: no data, and said to be damaged.
        LineCase{"FlagOnly", MakeRawRecord({0xFF}), "      0 байт данных (блок повреждён)"},
        LineCase{"EmptyRecord", MakeRawRecord({}), "      0 байт данных (блок повреждён)"},
        LineCase{"Length18IsData", MakeRawRecord(Bytes(18, 0)), "      16 байт данных"},
        LineCase{"Length20IsData", MakeRawRecord(Bytes(20, 0)), "      18 байт данных"},
        LineCase{"Program", MakeHeader(0, "hello", 10), "Program: hello     "},
        LineCase{"NumberArray", MakeHeader(1, "a", 10), "Number array: a         "},
        LineCase{"CharacterArray", MakeHeader(2, "b", 10), "Character array: b         "},
        LineCase{"BytesKeepsPadding", MakeHeader(3, "screen", 6912), "Bytes: screen    "},
        LineCase{"UnknownTypeIsNameAlone", MakeHeader(7, "odd", 1), "odd       "},
        LineCase{"FlagFFStillHeader", MakeBlock(0xFF, Bytes(17, 3)), "Bytes: ␃␃␃␃␃␃␃␃␃␃"},
        // Control codes cannot break the line or reach a terminal; 20 is left out.
        LineCase{"ControlCodesInTheName", HeaderWithNameBytes(0, {0, 10, 13, 27, '[', '2', 'J', 20, 127, 31}),
                 "Program: ␀␊␍␛[2J␡␟"},
        LineCase{"Byte20LeftOut", HeaderWithNameBytes(3, {'a', 20, 'b', 20, ' ', 'c', 'd', 'e', 'f', 'g'}),
                 "Bytes: ab cdefg"},
        LineCase{"Cp1251Name", HeaderWithNameBytes(0, {0xC8, 0xC3, 0xD0, 0xC0, 0xA8, 0xB8, 0xB9, ' ', ' ', ' '}),
                 "Program: ИГРАЁё№   "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockListLineTest, ShortHeaderNameDoesNotLookPastTheBlock) {
  // Type byte 0x41 ('A') is not a known type, so the ten name bytes follow alone.
  auto block = MakeBlock(0xFF, Bytes(17, 'A'));
  EXPECT_EQ(BlockListLine(block), std::string(10, 'A'));
}

struct DamageCase {
  const char* name;
  TapeBlock block;
  std::string damage;  // empty: sound
};

TapeBlock WithChecksum(TapeBlock block, std::uint8_t checksum) {
  block.mutableBytes().back() = checksum;
  return block;
}

TapeBlock Truncated(TapeBlock block, std::size_t size) {
  block.resize(size);
  return block;
}

class BlockDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(BlockDamageTest, SaysWhatIsWrong) { EXPECT_EQ(BlockDamageText(GetParam().block), GetParam().damage); }

INSTANTIATE_TEST_SUITE_P(
    Rows, BlockDamageTest,
    ::testing::Values(
        DamageCase{"SoundData", MakeDataBlock({1, 2, 3}), ""},
        DamageCase{"SoundHeader", MakeHeader(3, "code", 3, 32768), ""},
        DamageCase{"FlagAndChecksumOnly", MakeRawRecord({0xFF, 0xFF}), ""},
        // 0xFF ^ 1 ^ 2 ^ 3 = 0xFF.
        DamageCase{"ChecksumOff", WithChecksum(MakeDataBlock({1, 2, 3}), 7),
                   "Контрольная сумма не совпадает: записано 7, должно быть 255"},
        DamageCase{"HeaderChecksumOff", WithChecksum(MakeHeader(0, "p", 1), 0x10),
                   "Контрольная сумма не совпадает: записано 16, должно быть 209"},
        DamageCase{"FlagOnly", MakeRawRecord({0xFF}), "Блок повреждён: в записи только флаг, нет контрольной суммы"},
        DamageCase{"EmptyRecord", MakeRawRecord({}), "Блок повреждён: в записи нет ни флага, ни контрольной суммы"},
        DamageCase{"CutShort", Truncated(MakeDataBlock({1, 2, 3}), 5),
                   "Блок повреждён: запись обрезана, в ней 5 байт вместо 7"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockListEntries, PairEachLineWithItsDamage) {
  TapeProject project;
  project.blocks = {MakeHeader(3, "code", 2), WithChecksum(MakeDataBlock({1, 2}), 0), MakeRawRecord({0xFF})};
  EXPECT_EQ(BlockListEntries(project),
            (std::vector<BlockListEntry>{
                {"Bytes: code      ", ""},
                {"      2 байт данных", "Контрольная сумма не совпадает: записано 0, должно быть 252"},
                {"      0 байт данных (блок повреждён)",
                 "Блок повреждён: в записи только флаг, нет контрольной суммы"}}));
}

TEST(Cp1251, MapsEveryByteToOneCharacter) {
  EXPECT_EQ(Cp1251ToUtf8('A'), "A");
  EXPECT_EQ(Cp1251ToUtf8(0xC0), "А");
  EXPECT_EQ(Cp1251ToUtf8(0xFF), "я");
  EXPECT_EQ(Cp1251ToUtf8(0xA8), "Ё");
  EXPECT_EQ(Cp1251ToUtf8(0x88), "€");
  EXPECT_EQ(Cp1251ToUtf8(0x96), "–");
}

TEST(Summary, EmptyProject) {
  TapeProject project;
  auto s = Summarize(project);
  EXPECT_EQ(s.title, "Reelo");
  EXPECT_EQ(s.blocksText, "Блоков: 0");
  EXPECT_EQ(s.filesText, "Файлов: 0");
  EXPECT_EQ(s.dataText, "Всего данных: 0 байт");
}

TEST(Summary, CountsHeadersAsFilesAndWholeDataRecords) {
  TapeProject project;
  project.fileName = "/home/u/игры/tape.tap";
  project.blocks = {MakeHeader(3, "screen", 6912), MakeDataBlock(Bytes(6912, 0)), MakeBlock(0xFF, Bytes(17, 1)),
                    MakeRawRecord({})};
  auto s = Summarize(project);
  EXPECT_EQ(s.title, "/home/u/игры/tape.tap - Reelo");
  EXPECT_EQ(s.blocksText, "Блоков: 4");
  // Both 19-byte records are files; the 6914-byte record and the empty one are data.
  EXPECT_EQ(s.filesText, "Файлов: 2");
  EXPECT_EQ(s.dataText, "Всего данных: 6914 байт");
}

TEST(NumberText, SpaceBeforeNonNegativeMinusBeforeNegative) {
  EXPECT_EQ(NumberText(0), " 0");
  EXPECT_EQ(NumberText(5), " 5");
  EXPECT_EQ(NumberText(-2), "-2");
  EXPECT_EQ(NumberText(65535), " 65535");
}

TEST(WordFromBytes, LittleEndian) {
  EXPECT_EQ(WordFromBytes(0, 1), 256);
  EXPECT_EQ(WordFromBytes(255, 255), 65535);
  EXPECT_EQ(RecordLength(TapeBlock{}), 0);
}

}  // namespace
}  // namespace reelo
