#include "viewers/screen_view.h"

namespace reelo {
namespace {

constexpr int kFirstDataByte = 3;
constexpr int kFirstAttributeByte = kFirstDataByte + kBitmapBytes;  // block byte 6147
constexpr int kColourIndexes = 8;
constexpr int kDimLevel = 200;
constexpr int kBrightLevel = 255;
constexpr std::uint8_t kFlashBit = 0x80;
constexpr std::uint8_t kBrightBit = 0x40;
constexpr int kInkMask = 0x07;
constexpr int kPaperShift = 3;
constexpr int kBlueBit = 1, kRedBit = 2, kGreenBit = 4;

// Reads screen bytes within the block's data only; nothing past screen byte
// 6911 is asked for.
class ScreenReader {
 public:
  explicit ScreenReader(const TapeBlock& block) : block_(block), length_(RecordLength(block)) {}
  bool Has(int blockIndex) const { return blockIndex <= length_; }
  std::uint8_t At(int blockIndex) const { return ByteAt(block_, blockIndex); }

 private:
  const TapeBlock& block_;
  int length_;
};

void DecodeAttributes(const ScreenReader& reader, ScreenPicture& picture) {
  int k = kFirstAttributeByte;
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column, ++k) {
      if (!reader.Has(k)) {
        picture.InkColours.Set(column, row, kBlack);
        picture.PaperColours.Set(column, row, kWhite);
        continue;
      }
      const std::uint8_t a = reader.At(k) & static_cast<std::uint8_t>(~kFlashBit);
      const bool bright = (a & kBrightBit) != 0;
      picture.InkColours.Set(column, row, SpectrumColour(a & kInkMask, bright));
      picture.PaperColours.Set(column, row, SpectrumColour((a >> kPaperShift) & kInkMask, bright));
    }
  }
}

void DecodeBitmap(const ScreenReader& reader, ScreenPicture& picture) {
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int column = 0; column < kCellColumns; ++column) {
      const int k = kFirstDataByte + BitmapByteIndex(column, y);
      if (!reader.Has(k)) continue;
      const std::uint8_t a = reader.At(k);
      for (int i = 0; i < 8; ++i) {
        if (a & (0x80 >> i)) picture.PixelBits.Set(kCellSize * column + i, y, 1);
      }
    }
  }
}

void ColourPixels(ScreenPicture& picture) {
  for (int x = 0; x < kScreenWidth; ++x) {
    for (int y = 0; y < kScreenHeight; ++y) {
      const int column = x / kCellSize, row = y / kCellSize;
      picture.PixelColours.Set(x, y, picture.PixelBits(x, y) ? picture.InkColours(column, row)
                                                             : picture.PaperColours(column, row));
    }
  }
}

}  // namespace

std::uint32_t SpectrumColour(int index, bool bright) {
  if (index < 0 || index >= kColourIndexes) return kBlack;
  const int level = bright ? kBrightLevel : kDimLevel;
  auto component = [&](int bit) { return (index & bit) ? level : 0; };
  return RgbColour(component(kRedBit), component(kGreenBit), component(kBlueBit));
}

ScreenPicture DecodeScreen(const TapeBlock& block) {
  const ScreenReader reader(block);
  ScreenPicture picture;
  DecodeAttributes(reader, picture);
  DecodeBitmap(reader, picture);
  ColourPixels(picture);
  return picture;
}

std::uint32_t ScreenPixelColour(const ScreenPicture& picture, ScreenMode mode, int x, int y) {
  if (!picture.PixelBits.Contains(x, y)) return kBlack;
  const bool set = picture.PixelBits(x, y) != 0;
  switch (mode) {
    case ScreenMode::BlackOnWhite:
      return set ? kBlack : kWhite;
    case ScreenMode::WhiteOnBlack:
      return set ? kWhite : kBlack;
    case ScreenMode::Colour:
      break;
  }
  return picture.PixelColours(x, y);
}

}  // namespace reelo
