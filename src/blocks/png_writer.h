// A PNG file of an RGB picture, written by libpng with zlib's best
// compression: a picture of at most 256 colours (every Spectrum screen) as an
// indexed one with its palette, any other as 8-bit RGB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reelo {

// pixels: width * height colours, row by row, each red + 256 * green + 65536 * blue;
// missing pixels are black. Returns the whole PNG file (no interlace), or an
// empty vector when the size cannot be a picture (zero, negative or too large).
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint32_t>& pixels);

// The CRC-32 of PNG chunks and the Adler-32 of zlib streams (zlib's own).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

}  // namespace reelo
