#include "formats/csw_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace reelo {
namespace {

constexpr char kSignature[] = "Compressed Square Wave\x1A";
constexpr std::size_t kSignatureSize = sizeof kSignature - 1;
// Version 1: signature, major, minor, rate (2 bytes), compression, flags, 3 reserved.
constexpr std::size_t kV1HeaderSize = 32;
constexpr std::size_t kV1RateOffset = 25;
constexpr std::size_t kV1CompressionOffset = 27;
constexpr std::size_t kV1FlagsOffset = 28;
// Version 2: signature, major, minor, rate (4), pulse count (4), compression,
// flags, extension length, 16 bytes naming the encoder, then the extension.
constexpr std::size_t kV2HeaderSize = 52;
constexpr std::size_t kV2RateOffset = 25;
constexpr std::size_t kV2PulsesOffset = 29;
constexpr std::size_t kV2CompressionOffset = 33;
constexpr std::size_t kV2FlagsOffset = 34;
constexpr std::size_t kV2ExtensionOffset = 35;
constexpr std::size_t kMajorOffset = kSignatureSize;
constexpr std::uint8_t kRunLength = 1;
constexpr std::uint8_t kZlibRunLength = 2;
constexpr std::size_t kInflateChunk = std::size_t{1} << 20;

std::uint32_t Read32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The plain version 2 header for the given rate and flags.
std::vector<std::uint8_t> PlainHeader(std::uint32_t rate, std::uint8_t flags, std::uint64_t pulseBytes) {
  std::vector<std::uint8_t> header(kV2HeaderSize, 0);
  std::memcpy(header.data(), kSignature, kSignatureSize);
  header[kMajorOffset] = 2;
  Put32(header.data() + kV2RateOffset, rate);
  Put32(header.data() + kV2PulsesOffset, static_cast<std::uint32_t>(pulseBytes));
  header[kV2CompressionOffset] = kRunLength;
  header[kV2FlagsOffset] = flags;
  return header;
}

bool Inflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, std::string& reason) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) {
    reason = "не хватает памяти";
    return false;
  }
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  int status = Z_OK;
  while (status == Z_OK) {
    const std::size_t used = out.size();
    if (used >= kMaxCswPulseData + kV2HeaderSize) {
      status = Z_BUF_ERROR;
      reason = "запись после распаковки больше 128 МБ";
      break;
    }
    out.resize(used + kInflateChunk);
    stream.next_out = out.data() + used;
    stream.avail_out = static_cast<uInt>(kInflateChunk);
    status = inflate(&stream, Z_NO_FLUSH);
    out.resize(out.size() - stream.avail_out);
    if (status == Z_BUF_ERROR && stream.avail_in == 0) reason = "сжатые данные обрываются";
  }
  inflateEnd(&stream);
  if (status == Z_STREAM_END) return true;
  if (reason.empty()) reason = "сжатые данные повреждены";
  return false;
}

}  // namespace

bool MakePlainCsw(const std::uint8_t* file, std::size_t size, std::vector<std::uint8_t>& plain, std::string& reason) {
  if (size <= kMajorOffset) {
    reason = "файл обрывается в заголовке";
    return false;
  }
  const std::uint8_t major = file[kMajorOffset];
  if (major != 1 && major != 2) {
    reason = "неизвестная версия формата CSW";
    return false;
  }
  const std::size_t headerSize = major == 1 ? kV1HeaderSize : kV2HeaderSize;
  if (size < headerSize || (major == 2 && size < kV2HeaderSize + file[kV2ExtensionOffset])) {
    reason = "файл обрывается в заголовке";
    return false;
  }
  const std::uint32_t rate =
      major == 1 ? file[kV1RateOffset] | (file[kV1RateOffset + 1] << 8) : Read32(file + kV2RateOffset);
  const std::uint8_t compression = file[major == 1 ? kV1CompressionOffset : kV2CompressionOffset];
  const std::uint8_t flags = file[major == 1 ? kV1FlagsOffset : kV2FlagsOffset];
  // libspectrum counts a pulse in 3.5 MHz clock ticks per sample: a rate of 0
  // or above 3.5 MHz gives no usable length.
  if (rate == 0 || rate > 3500000) {
    reason = "неверная частота выборки";
    return false;
  }
  const std::size_t dataStart = major == 1 ? kV1HeaderSize : kV2HeaderSize + file[kV2ExtensionOffset];
  const std::uint8_t* data = file + dataStart;
  const std::size_t dataSize = size - dataStart;
  if (compression == kRunLength) {
    plain = PlainHeader(rate, flags, dataSize);
    plain.insert(plain.end(), data, data + dataSize);
    return true;
  }
  if (compression != kZlibRunLength || major == 1) {
    reason = "неизвестный способ сжатия";
    return false;
  }
  plain = PlainHeader(rate, flags, 0);
  if (!Inflate(data, dataSize, plain, reason)) return false;
  Put32(plain.data() + kV2PulsesOffset, static_cast<std::uint32_t>(plain.size() - kV2HeaderSize));
  return true;
}

}  // namespace reelo
