// Block data saved to files: the right bytes for each kind, a PNG that reads
// back as the same picture (through libpng here, and through a pure Python
// reader in the interop tests), and a clear refusal that leaves the disk as
// it was.
#include <gtest/gtest.h>

#include <png.h>

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

// A PNG as libpng reads it back: its size, the form it was stored in (a
// palette or RGB), its bit depth, and its pixels as 0xRRGGBB.
struct ReadPng {
  bool ok = false;
  int width = 0, height = 0;
  bool palette = false;
  int bitDepth = 0;
  std::vector<std::uint32_t> pixels;
};

ReadPng DecodePng(const Bytes& png) {
  ReadPng result;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return result;
  // The IHDR's colour type and bit depth, straight from the file.
  result.palette = png.size() > 25 && png[25] == 3;
  result.bitDepth = png.size() > 24 ? png[24] : 0;
  image.format = PNG_FORMAT_RGB;
  Bytes rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return result;
  result.ok = true;
  result.width = static_cast<int>(image.width);
  result.height = static_cast<int>(image.height);
  for (std::size_t at = 0; at + 2 < rgb.size(); at += 3) {
    result.pixels.push_back(std::uint32_t{rgb[at]} << 16 | std::uint32_t{rgb[at + 1]} << 8 | rgb[at + 2]);
  }
  return result;
}

TEST(PngChecksums, MatchTheirPublishedValues) {
  const char* digits = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(digits), 9), 0xCBF43926u);
  const char* word = "Wikipedia";
  EXPECT_EQ(Adler32(reinterpret_cast<const std::uint8_t*>(word), 9), 0x11E60398u);
}

// Pixels given as red + 256 * green + 65536 * blue come back as the same
// colours; a picture of few colours is stored with a palette of the smallest
// depth that holds them, a picture of more than 256 as RGB.
TEST(EncodePng, ReadsBackAsTheSamePictureInTheSmallestForm) {
  const auto colours = [](int count, int size) {
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < size; ++i) pixels.push_back(static_cast<std::uint32_t>(i % count) * 0x0301);
    return pixels;
  };
  struct Row {
    const char* name;
    int width, height;
    std::vector<std::uint32_t> pixels;
    bool palette;
    int bitDepth;
  } rows[] = {
      {"two_colours", 16, 4, colours(2, 64), true, 1},
      {"spectrum_colours", 16, 8, colours(15, 128), true, 4},
      {"exactly_256_colours", 32, 8, colours(256, 256), true, 8},
      {"257_colours_as_rgb", 257, 3, colours(257, 771), false, 8},
      {"one_pixel", 1, 1, {0xABCDEF}, true, 1},
  };
  for (const Row& row : rows) {
    const ReadPng png = DecodePng(EncodePng(row.width, row.height, row.pixels));
    ASSERT_TRUE(png.ok) << row.name;
    EXPECT_EQ(png.width, row.width) << row.name;
    EXPECT_EQ(png.height, row.height) << row.name;
    EXPECT_EQ(png.palette, row.palette) << row.name;
    EXPECT_EQ(png.bitDepth, row.bitDepth) << row.name;
    std::vector<std::uint32_t> expected;
    for (std::uint32_t c : row.pixels) expected.push_back((c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
    EXPECT_EQ(png.pixels, expected) << row.name;
  }
}

TEST(EncodePng, PadsMissingPixelsBlackAndRefusesImpossibleSizes) {
  const ReadPng padded = DecodePng(EncodePng(3, 2, {0xFFFFFF, 0x0000FF}));
  ASSERT_TRUE(padded.ok);
  EXPECT_EQ(padded.pixels, (std::vector<std::uint32_t>{0xFFFFFF, 0xFF0000, 0, 0, 0, 0}));
  for (const auto& [width, height] : {std::pair{0, 10}, {10, 0}, {-1, 5}, {2000000, 1}}) {
    EXPECT_TRUE(EncodePng(width, height, {}).empty()) << width << "x" << height;
  }
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
    const ReadPng png = DecodePng(file.bytes);
    ASSERT_TRUE(png.ok);
    ASSERT_EQ(png.width, 256 * row.scale);
    ASSERT_EQ(png.height, 192 * row.scale);
    const auto pixel = [&](int x, int y) {
      return png.pixels[static_cast<std::size_t>(y * row.scale) * static_cast<std::size_t>(png.width) +
                        static_cast<std::size_t>(x * row.scale)];
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
      {"listing_with_hidden_bytes", {program}, DataFileKind::ExactListing, "   10 PRINT 1{0E 00 00 01 00 00}\n"},
      {"listings_with_hidden_bytes_of_two_blocks", {program, other}, DataFileKind::ExactListing,
       "   10 PRINT 1{0E 00 00 01 00 00}\n\n{41 42}\n"},
      {"listings_of_two_blocks", {program, program}, DataFileKind::Listing, "   10 PRINT 1\n\n   10 PRINT 1\n"},
      {"dump", {other}, DataFileKind::Dump,
       " Адрес |   1   2   3   4   5   6   7   8   9  10  11  12  13  14  15  16  17  18  19  20\n"
       "-------+--------------------------------------------------------------------------------\n"
       "     0 |  65  66\n"},
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
