#include "formats/png_file.h"

#include <zlib.h>

#include "project/atomic_file.h"
#include "project/tap_file.h"

namespace reelo {
namespace {

constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColourTypeRgb = 2;
constexpr std::uint8_t kNoFilter = 0;
constexpr int kBytesPerPixel = 3;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Length, type, data and the CRC of type and data.
void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::vector<std::uint8_t>& data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb) {
  const std::size_t rowBytes = static_cast<std::size_t>(width) * kBytesPerPixel;
  std::vector<std::uint8_t> raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(kNoFilter);
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const std::size_t at = static_cast<std::size_t>(y) * rowBytes + i;
      raw.push_back(at < rgb.size() ? rgb[at] : 0);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION);
  packed.resize(packedSize);

  std::vector<std::uint8_t> header;
  Put32(header, static_cast<std::uint32_t>(width));
  Put32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {kBitDepth, kColourTypeRgb, 0, 0, 0});
  std::vector<std::uint8_t> out(std::begin(kSignature), std::end(kSignature));
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

OpResult WritePngFile(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb) {
  const std::vector<std::uint8_t> png = EncodePng(width, height, rgb);
  AtomicFileWriter writer;
  if (!writer.Open(path) || !writer.Write(png.data(), png.size()) || !writer.Commit()) {
    return OpResult::Fail(kSaveFailedText, writer.error());
  }
  return OpResult::Success();
}

}  // namespace reelo
