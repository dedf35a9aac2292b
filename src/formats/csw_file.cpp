#include "formats/csw_file.h"

#include <zlib.h>

#include <cstring>
#include <memory>

#include "project/block_kinds.h"

namespace reelo {
namespace {

constexpr char kSignature[] = "Compressed Square Wave\x1A";
constexpr std::size_t kSignatureSize = sizeof kSignature - 1;
// Version 1: signature, major, minor, rate (2 bytes), compression, flags, 3 reserved.
constexpr std::size_t kV1HeaderSize = 32;
constexpr std::size_t kV1RateOffset = 25;
constexpr std::size_t kV1CompressionOffset = 27;
// Version 2: signature, major, minor, rate (4), pulse count (4), compression,
// flags, extension length, 16 bytes naming the encoder, then the extension.
constexpr std::size_t kV2HeaderSize = 52;
constexpr std::size_t kV2RateOffset = 25;
constexpr std::size_t kV2PulsesOffset = 29;
constexpr std::size_t kV2CompressionOffset = 33;
constexpr std::size_t kV2ExtensionOffset = 35;
constexpr std::size_t kMajorOffset = kSignatureSize;
constexpr std::uint8_t kRunLength = 1;
constexpr std::uint8_t kZlibRunLength = 2;
constexpr std::size_t kInflateChunk = std::size_t{1} << 20;
constexpr std::uint32_t kHighestRate = 3500000;  // one sample a T-state
// The TZX block's body: its length (4), pause (2), rate (3), compression (1),
// pulse count (4), then the data.
constexpr std::size_t kBlockHeadSize = 14;
constexpr std::size_t kBlockLengthSize = 4;
// A run length of 0 says the pulse's length follows in 4 bytes.
constexpr int kLongPulseBytes = 4;

std::uint32_t Read32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Counts the pulses of run-length data fed to it in pieces, and where the
// last whole pulse ends.
class PulseCounter {
 public:
  void Feed(const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i, ++bytes_) {
      if (longLeft_ > 0) {
        if (--longLeft_ == 0) ++pulses_;
      } else if (p[i] == 0) {
        longLeft_ = kLongPulseBytes;
        longStart_ = bytes_;
      } else {
        ++pulses_;
      }
    }
  }
  std::uint64_t pulses() const { return pulses_; }
  std::uint64_t bytes() const { return bytes_; }
  // The bytes of the whole pulses: all of them unless the data stops inside a long pulse.
  std::uint64_t wholeBytes() const { return longLeft_ > 0 ? longStart_ : bytes_; }

 private:
  std::uint64_t pulses_ = 0, bytes_ = 0, longStart_ = 0;
  int longLeft_ = 0;
};

enum class Unpacked { Whole, Cut, Damaged, TooLarge, NoMemory };

// Unpacks packed data into out; used receives the packed bytes the stream took.
Unpacked Inflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, std::size_t& used) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return Unpacked::NoMemory;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  int status = Z_OK;
  Unpacked result = Unpacked::Damaged;
  while (status == Z_OK) {
    const std::size_t had = out.size();
    if (had > kMaxCswPulseData) {
      result = Unpacked::TooLarge;
      break;
    }
    out.resize(had + kInflateChunk);
    stream.next_out = out.data() + had;
    stream.avail_out = static_cast<uInt>(kInflateChunk);
    status = inflate(&stream, Z_NO_FLUSH);
    out.resize(out.size() - stream.avail_out);
    if (status == Z_STREAM_END) result = Unpacked::Whole;
    if (status == Z_BUF_ERROR && stream.avail_in == 0) result = Unpacked::Cut;
  }
  used = static_cast<std::size_t>(stream.total_in);
  inflateEnd(&stream);
  return out.size() > kMaxCswPulseData ? Unpacked::TooLarge : result;
}

// The header's fields, checked; false with the reason when they cannot be read.
struct CswHeader {
  std::uint32_t rate = 0;
  std::uint8_t compression = kRunLength;
  std::uint32_t statedPulses = 0;  // version 2 only; 0 when not given
  std::size_t dataStart = 0;
};

bool ReadHeader(const std::uint8_t* file, std::size_t size, CswHeader& header, std::string& reason) {
  if (size <= kMajorOffset) {
    reason = "файл обрывается в заголовке";
    return false;
  }
  const std::uint8_t major = file[kMajorOffset];
  if (major != 1 && major != 2) {
    reason = "неизвестная версия формата CSW";
    return false;
  }
  if (size < (major == 1 ? kV1HeaderSize : kV2HeaderSize) ||
      (major == 2 && size < kV2HeaderSize + file[kV2ExtensionOffset])) {
    reason = "файл обрывается в заголовке";
    return false;
  }
  if (major == 1) {
    header.rate = file[kV1RateOffset] | (file[kV1RateOffset + 1] << 8);
    header.compression = file[kV1CompressionOffset];
    header.dataStart = kV1HeaderSize;
  } else {
    header.rate = Read32(file + kV2RateOffset);
    header.statedPulses = Read32(file + kV2PulsesOffset);
    header.compression = file[kV2CompressionOffset];
    header.dataStart = kV2HeaderSize + file[kV2ExtensionOffset];
  }
  // A pulse is counted in T-states of the 3.5 MHz clock: a rate of 0 or
  // above it gives no usable length.
  const std::uint32_t rate = header.rate;
  if (rate == 0 || rate > kHighestRate) {
    reason = "неверная частота выборки";
    return false;
  }
  if (header.compression != kRunLength && (header.compression != kZlibRunLength || major == 1)) {
    reason = "неизвестный способ сжатия";
    return false;
  }
  return true;
}

TapeBlock RecordingBlock(const CswHeader& header, std::uint8_t compression, std::uint64_t pulses,
                         const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> body;
  body.reserve(kBlockHeadSize + size);
  Put(body, kBlockHeadSize - kBlockLengthSize + size, 4);
  Put(body, 0, 2);  // no pause: the file's own silence is its pause
  Put(body, header.rate, 3);
  body.push_back(compression);
  Put(body, pulses, 4);
  body.insert(body.end(), data, data + size);
  return TapeBlock({}, std::make_shared<const KeptFields>(KeptFields{tzx::kCswRecording, std::move(body)}));
}

std::string CountNote(std::uint32_t stated, std::uint64_t pulses) {
  return "В заголовке CSW-файла указано импульсов:" + NumberText(stated) + ", а в записи их" +
         NumberText(static_cast<long long>(pulses)) + "; взяты импульсы записи.";
}

// The header's count may be the pulses, the bytes of the data (as some
// writers fill it) or 0 (not filled in).
bool CountFits(std::uint32_t stated, const PulseCounter& counter) {
  return stated == 0 || stated == counter.pulses() || stated == counter.bytes();
}

}  // namespace

CswKinds ReadCswKinds(const std::uint8_t* file, std::size_t size) {
  CswKinds read;
  CswHeader header;
  if (!ReadHeader(file, size, header, read.failure)) return read;
  const std::uint8_t* data = file + header.dataStart;
  const std::size_t dataSize = size - header.dataStart;
  PulseCounter counter;
  if (header.compression == kRunLength) {
    counter.Feed(data, dataSize);
    const auto whole = static_cast<std::size_t>(counter.wholeBytes());
    if (whole < dataSize) {
      read.note = "Запись CSW обрывается посреди импульса: не загружено" +
                  NumberText(static_cast<long long>(dataSize - whole)) + " байт со смещения" +
                  NumberText(static_cast<long long>(header.dataStart + whole)) + ".";
    } else if (!CountFits(header.statedPulses, counter)) {
      read.note = CountNote(header.statedPulses, counter.pulses());
    }
    if (counter.pulses() > 0) read.blocks.push_back(RecordingBlock(header, kRunLength, counter.pulses(), data, whole));
  } else {
    std::vector<std::uint8_t> unpacked;
    std::size_t used = 0;
    const Unpacked result = Inflate(data, dataSize, unpacked, used);
    if (result == Unpacked::Damaged) {
      read.failure = "сжатые данные повреждены";
      return read;
    }
    if (result == Unpacked::TooLarge) {
      read.failure = "запись после распаковки больше 128 МБ";
      return read;
    }
    if (result == Unpacked::NoMemory) {
      read.failure = "не хватает памяти";
      return read;
    }
    counter.Feed(unpacked.data(), unpacked.size());
    const auto whole = static_cast<std::size_t>(counter.wholeBytes());
    if (result == Unpacked::Whole && whole == unpacked.size()) {
      // The packed data is kept as the file has it.
      if (!CountFits(header.statedPulses, counter)) read.note = CountNote(header.statedPulses, counter.pulses());
      if (counter.pulses() > 0) read.blocks.push_back(RecordingBlock(header, kZlibRunLength, counter.pulses(), data, used));
    } else {
      // What was unpacked before the damage, as plain run lengths.
      read.note = "Сжатые данные CSW-файла обрываются: взяты импульсы, распакованные до обрыва:" +
                  NumberText(static_cast<long long>(counter.pulses())) + ".";
      if (counter.pulses() > 0) {
        read.blocks.push_back(RecordingBlock(header, kRunLength, counter.pulses(), unpacked.data(), whole));
      }
    }
  }
  if (read.blocks.empty() && read.note.empty()) read.note = "В CSW-файле нет ни одного импульса.";
  return read;
}

}  // namespace reelo
