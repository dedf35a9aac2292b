#include "blocks/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <map>

namespace reelo {
namespace {

constexpr int kChannels = 3;
constexpr std::size_t kMaxPaletteColours = 256;
// libpng's own limit on either side of a picture.
constexpr int kMaxSide = 1000000;

std::uint32_t PixelAt(const std::vector<std::uint32_t>& pixels, std::size_t i) {
  return i < pixels.size() ? pixels[i] & 0xFFFFFF : 0;
}

void PutColour(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t colour) {
  out[at] = static_cast<std::uint8_t>(colour & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>((colour >> 8) & 0xFF);
  out[at + 2] = static_cast<std::uint8_t>((colour >> 16) & 0xFF);
}

// Runs libpng's writer over rows of `bytes` (with a palette when `palette` is
// not empty); an empty vector when libpng refuses.
std::vector<std::uint8_t> WriteImage(png_image& image, const std::vector<std::uint8_t>& bytes,
                                     const std::vector<std::uint8_t>& palette) {
  const void* colourMap = palette.empty() ? nullptr : palette.data();
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, bytes.data(), 0, colourMap)) {
    png_image_free(&image);
    return {};
  }
  std::vector<std::uint8_t> png(size);
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, bytes.data(), 0, colourMap)) {
    png_image_free(&image);
    return {};
  }
  png.resize(size);
  return png;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  return static_cast<std::uint32_t>(crc32_z(crc, data, size));
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler) {
  return static_cast<std::uint32_t>(adler32_z(adler, data, size));
}

std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint32_t>& pixels) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return {};
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);

  // The colours in order of first use, while there are few enough for a palette.
  std::map<std::uint32_t, std::uint8_t> indexOf;
  for (std::size_t i = 0; i < count && indexOf.size() <= kMaxPaletteColours; ++i) {
    indexOf.try_emplace(PixelAt(pixels, i), static_cast<std::uint8_t>(std::min(indexOf.size(), kMaxPaletteColours - 1)));
  }
  if (indexOf.size() <= kMaxPaletteColours) {
    std::vector<std::uint8_t> palette(kChannels * indexOf.size());
    for (const auto& [colour, index] : indexOf) PutColour(palette, kChannels * std::size_t{index}, colour);
    std::vector<std::uint8_t> indices(count);
    for (std::size_t i = 0; i < count; ++i) indices[i] = indexOf.at(PixelAt(pixels, i));
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = static_cast<png_uint_32>(indexOf.size());
    return WriteImage(image, indices, palette);
  }

  std::vector<std::uint8_t> rgb(kChannels * count);
  for (std::size_t i = 0; i < count; ++i) PutColour(rgb, kChannels * i, PixelAt(pixels, i));
  image.format = PNG_FORMAT_RGB;
  return WriteImage(image, rgb, {});
}

}  // namespace reelo
