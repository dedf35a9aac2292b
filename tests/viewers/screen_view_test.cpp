// Screen decoding: colours, the display file's byte order, attributes and the
// display modes.
#include "viewers/screen_view.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tape_builders.h"

namespace reelo {
namespace {

using testing::Bytes;
using testing::MakeDataBlock;
using Pixel = std::pair<int, int>;

constexpr std::uint32_t kGrey = RgbColour(200, 200, 200);

// A screen's data: bitmap empty, every attribute the same.
Bytes ScreenData(std::uint8_t attribute) {
  Bytes data(kScreenBytes, 0);
  std::fill(data.begin() + kBitmapBytes, data.end(), attribute);
  return data;
}

std::set<Pixel> SetPixels(const ScreenPicture& picture) {
  std::set<Pixel> set;
  for (int x = 0; x < kScreenWidth; ++x)
    for (int y = 0; y < kScreenHeight; ++y)
      if (picture.PixelBits(x, y)) set.insert({x, y});
  return set;
}

// True when every pixel has the given colour in the given mode.
bool Uniform(const ScreenPicture& picture, ScreenMode mode, std::uint32_t colour) {
  for (int x = 0; x < kScreenWidth; ++x)
    for (int y = 0; y < kScreenHeight; ++y)
      if (ScreenPixelColour(picture, mode, x, y) != colour) return false;
  return true;
}

struct ColourCase {
  int index;
  bool bright;
  int red, green, blue;
};

class SpectrumColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(SpectrumColourTest, PacksTheComponents) {
  const auto& c = GetParam();
  EXPECT_EQ(SpectrumColour(c.index, c.bright), static_cast<std::uint32_t>(c.red + 256 * c.green + 65536 * c.blue))
      << "index " << c.index << (c.bright ? " bright" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpectrumColourTest,
    ::testing::Values(ColourCase{0, false, 0, 0, 0}, ColourCase{1, false, 0, 0, 200}, ColourCase{2, false, 200, 0, 0},
                      ColourCase{3, false, 200, 0, 200}, ColourCase{4, false, 0, 200, 0},
                      ColourCase{5, false, 0, 200, 200}, ColourCase{6, false, 200, 200, 0},
                      ColourCase{7, false, 200, 200, 200}, ColourCase{0, true, 0, 0, 0},
                      ColourCase{1, true, 0, 0, 255}, ColourCase{2, true, 255, 0, 0}, ColourCase{3, true, 255, 0, 255},
                      ColourCase{4, true, 0, 255, 0}, ColourCase{5, true, 0, 255, 255},
                      ColourCase{6, true, 255, 255, 0}, ColourCase{7, true, 255, 255, 255},
                      ColourCase{8, false, 0, 0, 0}, ColourCase{-1, true, 0, 0, 0}));

// Screen byte n set to a value sets exactly the listed pixels.
struct BitmapCase {
  int n;
  std::uint8_t value;
  std::set<Pixel> pixels;
};

class BitmapAddressingTest : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapAddressingTest, SetsThePixelsOfItsByte) {
  Bytes data = ScreenData(0x38);
  data[static_cast<std::size_t>(GetParam().n)] = GetParam().value;
  EXPECT_EQ(SetPixels(DecodeScreen(MakeDataBlock(data))), GetParam().pixels) << "screen byte " << GetParam().n;
}

std::set<Pixel> Row(int y, int x0, int x1) {
  std::set<Pixel> row;
  for (int x = x0; x <= x1; ++x) row.insert({x, y});
  return row;
}

INSTANTIATE_TEST_SUITE_P(
    DisplayFileOrder, BitmapAddressingTest,
    ::testing::Values(BitmapCase{0, 0x80, {{0, 0}}}, BitmapCase{0, 0x01, {{7, 0}}}, BitmapCase{1, 0x80, {{8, 0}}},
                      BitmapCase{256, 0x01, {{7, 1}}}, BitmapCase{32, 0xFF, Row(8, 0, 7)},
                      BitmapCase{2048, 0xFF, Row(64, 0, 7)}, BitmapCase{31 + 224 + 1792, 0x01, {{255, 63}}},
                      BitmapCase{6143, 0x01, {{255, 191}}}, BitmapCase{6144, 0xFF, {}}));

struct UniformCase {
  const char* name;
  std::uint8_t attribute;
  std::uint32_t colour;  // every pixel, bitmap empty, colour mode
};

class UniformAttributeTest : public ::testing::TestWithParam<UniformCase> {};

TEST_P(UniformAttributeTest, ColoursEveryPixel) {
  EXPECT_TRUE(Uniform(DecodeScreen(MakeDataBlock(ScreenData(GetParam().attribute))), ScreenMode::Colour,
                      GetParam().colour));
}

INSTANTIATE_TEST_SUITE_P(
    Attributes, UniformAttributeTest,
    ::testing::Values(UniformCase{"WhitePaper", 0x38, kGrey}, UniformCase{"BrightWhitePaper", 0x78, kWhite},
                      UniformCase{"FlashIsIgnored", 0xB8, kGrey}, UniformCase{"FlashBrightIsBright", 0xF8, kWhite},
                      UniformCase{"BrightBlackStaysBlack", 0x47, kBlack}),
    [](const ::testing::TestParamInfo<UniformCase>& info) { return std::string(info.param.name); });

TEST(ScreenDecode, AttributeByteColoursItsCell) {
  const std::vector<Pixel> cells = {{0, 0}, {31, 0}, {0, 1}, {5, 7}, {31, 23}};
  for (const auto& [j, r] : cells) {
    Bytes data = ScreenData(0x38);
    data[static_cast<std::size_t>(kBitmapBytes + 32 * r + j)] = 0x0A;  // red ink on blue paper
    data[static_cast<std::size_t>(BitmapByteIndex(j, 8 * r + 3))] = 0xF0;
    const auto picture = DecodeScreen(MakeDataBlock(data));
    for (int cj = 0; cj < kCellColumns; ++cj) {
      for (int cr = 0; cr < kCellRows; ++cr) {
        const bool mine = cj == j && cr == r;
        EXPECT_EQ(picture.InkColours(cj, cr), mine ? RgbColour(200, 0, 0) : kBlack) << cj << "," << cr;
        EXPECT_EQ(picture.PaperColours(cj, cr), mine ? RgbColour(0, 0, 200) : kGrey) << cj << "," << cr;
      }
    }
    EXPECT_EQ(picture.PixelColours(8 * j, 8 * r + 3), RgbColour(200, 0, 0));
    EXPECT_EQ(picture.PixelColours(8 * j + 7, 8 * r + 7), RgbColour(0, 0, 200));
  }
}

TEST(ScreenDecode, HeaderBlockFillsTheStartOfRowZeroOnWhite) {
  const TapeBlock header = testing::MakeHeader(3, "SCREEN$", 6912, 16384);
  const auto picture = DecodeScreen(header);
  for (int x = 0; x < kScreenWidth; ++x) {
    const int bit = x < 136 ? (header[static_cast<std::size_t>(3 + x / 8)] >> (7 - x % 8)) & 1 : 0;
    ASSERT_EQ(picture.PixelBits(x, 0), bit) << "x " << x;
  }
  for (int y = 1; y < kScreenHeight; ++y) ASSERT_EQ(picture.PixelBits(0, y), 0);
  for (int x = 0; x < kScreenWidth; ++x)
    for (int y = 0; y < kScreenHeight; ++y)
      ASSERT_EQ(ScreenPixelColour(picture, x, y), ScreenPixelColour(picture, ScreenMode::BlackOnWhite, x, y));
}

TEST(ScreenDecode, BitmapWithoutAttributesLooksLikeBlackOnWhite) {
  const auto picture = DecodeScreen(MakeDataBlock(testing::RandomBytes(kBitmapBytes, 3)));
  for (int x = 0; x < kScreenWidth; ++x)
    for (int y = 0; y < kScreenHeight; ++y)
      ASSERT_EQ(picture.PixelColours(x, y), ScreenPixelColour(picture, ScreenMode::BlackOnWhite, x, y));
  EXPECT_FALSE(SetPixels(picture).empty());
}

TEST(ScreenDecode, BytesAfterTheScreenDoNotMatter) {
  const Bytes screen = testing::RandomBytes(kScreenBytes, 5);
  Bytes longer = screen;
  for (int i = 0; i < 500; ++i) longer.push_back(0xFF);
  const auto a = DecodeScreen(MakeDataBlock(screen));
  const auto b = DecodeScreen(MakeDataBlock(longer));
  for (int x = 0; x < kScreenWidth; ++x)
    for (int y = 0; y < kScreenHeight; ++y) ASSERT_EQ(a.PixelColours(x, y), b.PixelColours(x, y)) << x << "," << y;
}

TEST(ScreenDecode, ModesUseTheBitmapAlone) {
  Bytes data = ScreenData(0x16);  // yellow ink on red paper
  data[0] = 0x80;
  auto picture = DecodeScreen(MakeDataBlock(data));
  EXPECT_EQ(picture.DisplayMode, ScreenMode::Colour);
  const std::vector<std::tuple<ScreenMode, std::uint32_t, std::uint32_t>> modes = {
      {ScreenMode::Colour, RgbColour(200, 200, 0), RgbColour(200, 0, 0)},
      {ScreenMode::BlackOnWhite, kBlack, kWhite},
      {ScreenMode::WhiteOnBlack, kWhite, kBlack}};
  for (const auto& [mode, set, unset] : modes) {
    picture.DisplayMode = mode;
    EXPECT_EQ(ScreenPixelColour(picture, 0, 0), set) << static_cast<int>(mode);
    EXPECT_EQ(ScreenPixelColour(picture, 1, 0), unset) << static_cast<int>(mode);
  }
  EXPECT_EQ(ScreenPixelColour(picture, kScreenWidth, 0), kBlack);
  EXPECT_EQ(ScreenPixelColour(picture, 0, -1), kBlack);
}

}  // namespace
}  // namespace reelo
