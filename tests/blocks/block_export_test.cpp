// Block data saved to files: the right bytes for each kind, a PNG any reader
// takes (checked chunk by chunk here, and by Python's zlib in the interop
// tests), and a clear refusal that leaves the disk as it was.
#include <gtest/gtest.h>

#include <cstring>

#include "blocks/block_export.h"
#include "blocks/png_writer.h"
#include "tape_builders.h"
#include "viewers/basic_listing.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeDataBlock;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::uint32_t BigEndianAt(const Bytes& bytes, std::size_t at) {
  return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) | (std::uint32_t{bytes[at + 2]} << 8) |
         bytes[at + 3];
}

// The image rows of a PNG written with stored deflate blocks, after checking
// every chunk's CRC, the stored blocks' lengths and the Adler-32.
Bytes RowsOfStoredPng(const Bytes& png, int& width, int& height) {
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10}));
  Bytes zlib;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = BigEndianAt(png, at);
    const std::string type(png.begin() + static_cast<long>(at + 4), png.begin() + static_cast<long>(at + 8));
    EXPECT_EQ(Crc32(png.data() + at + 4, length + 4), BigEndianAt(png, at + 8 + length)) << type;
    if (type == "IHDR") {
      width = static_cast<int>(BigEndianAt(png, at + 8));
      height = static_cast<int>(BigEndianAt(png, at + 12));
    }
    if (type == "IDAT") zlib.insert(zlib.end(), png.begin() + static_cast<long>(at + 8), png.begin() + static_cast<long>(at + 8 + length));
    at += 12 + length;
  }
  Bytes raw;
  std::size_t at = 2;
  for (bool last = false; !last && at + 5 <= zlib.size();) {
    last = zlib[at] & 1;
    const std::size_t size = zlib[at + 1] + 256u * zlib[at + 2];
    EXPECT_EQ(size ^ 0xFFFF, zlib[at + 3] + 256u * zlib[at + 4]);
    raw.insert(raw.end(), zlib.begin() + static_cast<long>(at + 5), zlib.begin() + static_cast<long>(at + 5 + size));
    at += 5 + size;
  }
  EXPECT_EQ(Adler32(raw.data(), raw.size()), BigEndianAt(zlib, at));
  return raw;
}

TEST(PngChecksums, MatchTheirPublishedValues) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(digits), 9), 0xCBF43926u);
  const char* word = "Wikipedia";
  EXPECT_EQ(Adler32(reinterpret_cast<const std::uint8_t*>(word), 9), 0x11E60398u);
}

// A screen whose top-left cell has its first pixel row set, red ink on white
// paper; every other cell has blue paper and no pixels.
TapeBlock TestScreen() {
  Bytes screen(6912, 0);
  screen[0] = 0xFF;
  for (int cell = 0; cell < 768; ++cell) screen[6144 + static_cast<std::size_t>(cell)] = 1 << 3;  // blue paper
  screen[6144] = (7 << 3) | 2;  // white paper, red ink
  return MakeDataBlock(screen);
}

TEST(BuildDataFile, PicturesAreTheScreenInTheChosenColouring) {
  struct Row {
    DataFileKind kind;
    ScreenMode mode;
    int scale;
    std::uint32_t setPixel, clearPixel, elsewhere;  // (0,0), (0,1), (100,100)
  } rows[] = {
      {DataFileKind::Picture, ScreenMode::Colour, 1, 0xC80000, 0xC8C8C8, 0x0000C8},
      {DataFileKind::PictureDouble, ScreenMode::Colour, 2, 0xC80000, 0xC8C8C8, 0x0000C8},
      {DataFileKind::Picture, ScreenMode::BlackOnWhite, 1, 0x000000, 0xFFFFFF, 0xFFFFFF},
      {DataFileKind::Picture, ScreenMode::WhiteOnBlack, 1, 0xFFFFFF, 0x000000, 0x000000},
  };
  for (const Row& row : rows) {
    const DataFile file = BuildDataFile({TestScreen()}, row.kind, row.mode);
    ASSERT_TRUE(file.status.ok());
    int width = 0, height = 0;
    const Bytes raw = RowsOfStoredPng(file.bytes, width, height);
    ASSERT_EQ(width, 256 * row.scale);
    ASSERT_EQ(height, 192 * row.scale);
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    const auto pixel = [&](int x, int y) {
      const std::size_t at = static_cast<std::size_t>(y * row.scale) * (1 + 3 * static_cast<std::size_t>(width)) + 1 +
                             3 * static_cast<std::size_t>(x * row.scale);
      return std::uint32_t{raw[at]} << 16 | std::uint32_t{raw[at + 1]} << 8 | raw[at + 2];
    };
    EXPECT_EQ(pixel(0, 0), row.setPixel);
    EXPECT_EQ(pixel(7, 0), row.setPixel);
    EXPECT_EQ(pixel(0, 1), row.clearPixel);
    EXPECT_EQ(pixel(100, 100), row.elsewhere);
    EXPECT_EQ(pixel(255, 191), row.elsewhere);
  }
}

TEST(BuildDataFile, GivesTheBytesOfEachKind) {
  const TapeBlock program = MakeDataBlock({0, 10, 9, 0, 0xF5, '1', 0x0E, 0, 0, 1, 0, 0, 0x0D});
  const TapeBlock other = MakeDataBlock({'A', 'B'});
  const TapeBlock screen = TestScreen();
  struct Row {
    const char* name;
    std::vector<TapeBlock> blocks;
    DataFileKind kind;
    std::string expected;
  } rows[] = {
      {"raw_of_two_blocks", {other, program}, DataFileKind::Raw,
       std::string("AB\0\x0a\x09\0\xf5" "1\x0e\0\0\x01\0\0\x0d", 15)},
      {"screen_file", {screen}, DataFileKind::Screen, std::string(screen.begin() + 3, screen.end() - 1)},
      {"listing", {program}, DataFileKind::Listing, "   10 PRINT 1\n"},
      {"exact_listing", {program}, DataFileKind::ExactListing, BuildBasicListing(program)},
      {"listings_of_two_blocks", {program, program}, DataFileKind::Listing, "   10 PRINT 1\n\n   10 PRINT 1\n"},
      {"dump", {other}, DataFileKind::Dump,
       " Адрес |   1   2   3   4   5   6   7   8   9  10  11  12  13  14  15  16  17  18  19  20\r\n"
       "-------+--------------------------------------------------------------------------------\r\n"
       "     0 |  65  66\r\n"},
  };
  for (const Row& row : rows) {
    const DataFile file = BuildDataFile(row.blocks, row.kind, ScreenMode::Colour);
    ASSERT_TRUE(file.status.ok()) << row.name;
    EXPECT_EQ(std::string(file.bytes.begin(), file.bytes.end()), row.expected) << row.name;
  }
}

TEST(BuildDataFile, OffersScreenKindsOnlyForScreens) {
  const TapeBlock small = MakeDataBlock({1, 2, 3});
  const TapeBlock screenAndAByte = MakeDataBlock(Bytes(6913, 0));  // a screen is 6912 bytes, not more
  EXPECT_EQ(DataFileKinds(small).size(), 4u);
  EXPECT_EQ(DataFileKinds(screenAndAByte).size(), 4u);
  EXPECT_EQ(DataFileKinds(TestScreen()).size(), 7u);
  for (DataFileKind kind : {DataFileKind::Screen, DataFileKind::Picture, DataFileKind::PictureDouble}) {
    for (const TapeBlock& notAScreen : {small, screenAndAByte}) {
      const DataFile file = BuildDataFile({notAScreen, TestScreen()}, kind, ScreenMode::Colour);
      EXPECT_EQ(file.status.message, "В блоке не 6912 байт данных: это не экран ZX Spectrum");
      EXPECT_TRUE(file.bytes.empty());
    }
  }
  EXPECT_EQ(BuildDataFile({}, DataFileKind::Raw, ScreenMode::Colour).status.message, "Блок не выбран");
}

TEST(SaveDataFile, WritesTheFileOrSaysWhyAndLeavesTheOldOne) {
  TempDir dir;
  const auto target = dir / "data.bin";
  WriteFileBytes(target, {9, 9});
  ASSERT_TRUE(SaveDataFile({MakeDataBlock({1, 2, 3})}, DataFileKind::Raw, ScreenMode::Colour, target.string()).ok());
  EXPECT_EQ(ReadFileBytes(target), (Bytes{1, 2, 3}));

  const auto underAFile = dir / "data.bin" / "inside.bin";
  const OpResult failed =
      SaveDataFile({MakeDataBlock({4})}, DataFileKind::Raw, ScreenMode::Colour, underAFile.string());
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.message, "Не удалось сохранить данные блока");
  EXPECT_FALSE(failed.detail.empty());
  EXPECT_EQ(ReadFileBytes(target), (Bytes{1, 2, 3}));

  const OpResult refused = SaveDataFile({MakeDataBlock({4})}, DataFileKind::Screen, ScreenMode::Colour, target.string());
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(ReadFileBytes(target), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace reelo
