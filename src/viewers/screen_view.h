// A block's data decoded as a ZX Spectrum screen: 256 x 192 pixels, 32 x 24
// colour cells, in the layout of a 6912-byte SCREEN$ block.
#pragma once

#include <cstdint>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

inline constexpr int kScreenWidth = 256;
inline constexpr int kScreenHeight = 192;
inline constexpr int kCellSize = 8;
inline constexpr int kCellColumns = kScreenWidth / kCellSize;  // 32
inline constexpr int kCellRows = kScreenHeight / kCellSize;    // 24
inline constexpr int kBitmapBytes = kScreenWidth / 8 * kScreenHeight;  // 6144
inline constexpr int kAttributeBytes = kCellColumns * kCellRows;       // 768
inline constexpr int kScreenBytes = kBitmapBytes + kAttributeBytes;    // 6912

// Colour values pack red + 256 * green + 65536 * blue.
constexpr std::uint32_t RgbColour(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red) + 256u * static_cast<std::uint32_t>(green) +
         65536u * static_cast<std::uint32_t>(blue);
}
constexpr int RedOf(std::uint32_t colour) { return static_cast<int>(colour & 0xFF); }
constexpr int GreenOf(std::uint32_t colour) { return static_cast<int>((colour >> 8) & 0xFF); }
constexpr int BlueOf(std::uint32_t colour) { return static_cast<int>((colour >> 16) & 0xFF); }

inline constexpr std::uint32_t kBlack = RgbColour(0, 0, 0);
inline constexpr std::uint32_t kWhite = RgbColour(255, 255, 255);

// The Spectrum's colour index 0..7 (black, blue, red, magenta, green, cyan,
// yellow, white): each present component is 200, or 255 with BRIGHT. Any other
// index gives black.
std::uint32_t SpectrumColour(int index, bool bright);

// How the picture is painted: the cells' colours, or the bitmap alone.
enum class ScreenMode : std::uint8_t { Colour = 0, BlackOnWhite = 1, WhiteOnBlack = 2 };

// A fixed-size table indexed (x, y) as the picture is: column first. Reads
// outside the table give a default value instead of touching other memory.
template <typename T, int Width, int Height>
class ScreenTable {
 public:
  ScreenTable() : cells_(static_cast<std::size_t>(Width) * Height, T{}) {}
  static constexpr bool Contains(int x, int y) { return x >= 0 && x < Width && y >= 0 && y < Height; }
  T operator()(int x, int y) const { return Contains(x, y) ? cells_[Index(x, y)] : T{}; }
  void Set(int x, int y, T value) {
    if (Contains(x, y)) cells_[Index(x, y)] = value;
  }

 private:
  static std::size_t Index(int x, int y) { return static_cast<std::size_t>(y) * Width + static_cast<std::size_t>(x); }
  std::vector<T> cells_;
};

// Everything the screen window shows, decoded once per opening. Switching the
// display mode needs no new decoding.
struct ScreenPicture {
  ScreenMode DisplayMode = ScreenMode::Colour;
  ScreenTable<std::uint32_t, kCellColumns, kCellRows> InkColours;    // (cell column, cell row)
  ScreenTable<std::uint32_t, kCellColumns, kCellRows> PaperColours;  // (cell column, cell row)
  ScreenTable<std::uint8_t, kScreenWidth, kScreenHeight> PixelBits;  // (x, y): 1 where set
  ScreenTable<std::uint32_t, kScreenWidth, kScreenHeight> PixelColours;  // (x, y): colour-mode colour
};

// The screen number n of the bitmap byte holding pixel row y, byte column
// column (the display file's interleaved order: y = 64t + 8q + p gives
// n = 2048t + 256p + 32q + column).
constexpr int BitmapByteIndex(int column, int y) {
  const int third = y / 64, characterRow = (y / 8) % 8, pixelLine = y % 8;
  return 2048 * third + 256 * pixelLine + 32 * characterRow + column;
}

// Decodes the block's data (screen byte n is block byte n + 3) into a picture
// in colour mode. Bitmap bytes beyond the data leave their pixels unset;
// attribute bytes beyond the data give black ink on (255, 255, 255) paper.
// FLASH is ignored, BRIGHT applies to ink and paper. Bytes past screen byte
// 6911 are never read. Never fails.
ScreenPicture DecodeScreen(const TapeBlock& block);

// The colour pixel (x, y) is painted in the given mode: colour mode takes
// PixelColours; black on white and white on black use the bitmap alone.
// Pixels outside the screen give black.
std::uint32_t ScreenPixelColour(const ScreenPicture& picture, ScreenMode mode, int x, int y);

// The same in the picture's own DisplayMode.
inline std::uint32_t ScreenPixelColour(const ScreenPicture& picture, int x, int y) {
  return ScreenPixelColour(picture, picture.DisplayMode, x, y);
}

}  // namespace reelo
