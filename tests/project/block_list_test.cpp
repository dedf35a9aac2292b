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
        LineCase{"FlagOnly", MakeRawRecord({0xFF}), "     -1 байт данных"},
        LineCase{"EmptyRecord", MakeRawRecord({}), "     -2 байт данных"},
        LineCase{"Length18IsData", MakeRawRecord(Bytes(18, 0)), "      16 байт данных"},
        LineCase{"Length20IsData", MakeRawRecord(Bytes(20, 0)), "      18 байт данных"},
        LineCase{"Program", MakeHeader(0, "hello", 10), "Program: hello     "},
        LineCase{"NumberArray", MakeHeader(1, "a", 10), "Number array: a         "},
        LineCase{"CharacterArray", MakeHeader(2, "b", 10), "Character array: b         "},
        LineCase{"BytesKeepsPadding", MakeHeader(3, "screen", 6912), "Bytes: screen    "},
        LineCase{"UnknownTypeIsNameAlone", MakeHeader(7, "odd", 1), "odd       "},
        LineCase{"FlagFFStillHeader", MakeBlock(0xFF, Bytes(17, 3)), "Bytes: \x03\x03\x03\x03\x03\x03\x03\x03\x03\x03"},
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
