// A PNG file of an RGB picture, written without any image library: IHDR, one
// IDAT of stored (uncompressed) deflate blocks, IEND, each chunk with its CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reelo {

// pixels: width * height colours, row by row, each red + 256 * green + 65536 * blue.
// Returns the whole PNG file (8-bit RGB, no interlace).
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint32_t>& pixels);

// The CRC-32 of PNG chunks and the Adler-32 of zlib streams.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

}  // namespace reelo
