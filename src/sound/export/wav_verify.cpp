// The check after an export: the written file read back with the program's own
// tape decoder, and its records compared with the project's blocks.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "project/system_error.h"
#include "sound/export/read_back.h"
#include "sound/export/signal_stream.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_export.h"

namespace reelo {
namespace {

constexpr std::uint32_t kPcmFormat = 1;
constexpr std::size_t kFormatOffset = 20;
constexpr std::size_t kChannelsOffset = 22;
constexpr std::size_t kRateOffset = 24;
constexpr std::size_t kBitsOffset = 34;
constexpr std::size_t kDataSizeOffset = 40;
constexpr std::size_t kReadChunk = std::size_t{256} << 10;
constexpr std::uint64_t kTarget = kSampleRate;  // the decoder's rate
constexpr long long kProgressSteps = 100;
constexpr long long kConvertShare = 50;  // the first half of the bar converts, the second decodes

// The decoder's bounds for each timing. The exact signal fits the defaults.
// The ROM's pulses at 22050 Hz (pilot 13.7, one bit 10.8, zero bit 5.4
// samples) sit at the defaults' upper edges, and a file made at 48000 Hz and
// brought to 22050 Hz moves an edge by up to a sample, so the ROM timing is
// read with the upper bounds one sample wider.
constexpr PulseBounds kRomBounds{{2, 7, 9, 12, 12, 15}};

std::uint32_t Field(const std::uint8_t* header, std::size_t offset, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value * 256 + header[offset + static_cast<std::size_t>(i)];
  return value;
}

struct WavFormat {
  std::uint32_t rate = 0;
  int bits = 0;
  std::uint64_t dataBytes = 0;
};

// The format of a file as the export writes it, or a reason it is not one.
bool ReadFormat(int fd, WavFormat& format, std::string& reason) {
  WavHeader header{};
  if (::pread(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size())) {
    reason = "файл короче заголовка WAV";
    return false;
  }
  const bool tags = std::memcmp(header.data(), "RIFF", 4) == 0 && std::memcmp(header.data() + 8, "WAVE", 4) == 0 &&
                    std::memcmp(header.data() + 12, "fmt ", 4) == 0 && std::memcmp(header.data() + 36, "data", 4) == 0;
  format.rate = Field(header.data(), kRateOffset, 4);
  format.bits = static_cast<int>(Field(header.data(), kBitsOffset, 2));
  format.dataBytes = Field(header.data(), kDataSizeOffset, 4);
  if (!tags || Field(header.data(), kFormatOffset, 2) != kPcmFormat || Field(header.data(), kChannelsOffset, 2) != 1 ||
      format.rate == 0 || (format.bits != 8 && format.bits != 16)) {
    reason = "это не WAV-файл экспорта (PCM, моно, 8 или 16 бит)";
    return false;
  }
  return true;
}

enum class Level : std::uint8_t { Low, Rest, High };

Level LevelOf(const std::uint8_t* sample, int bits) {
  if (bits == 8) return *sample > kRestLevel ? Level::High : *sample < kRestLevel ? Level::Low : Level::Rest;
  const auto value = static_cast<std::int16_t>(sample[0] | (sample[1] << 8));
  return value > 0 ? Level::High : value < 0 ? Level::Low : Level::Rest;
}

// Brings the file's samples to the decoder's form: 8 bits at 22050 Hz and the
// polarity the export starts with (the decoder measures the high half-waves,
// and the exact signal's byte after the checksum relies on it). Output sample k takes the last source sample that
// begins before output sample k + 1, so a file at twice the rate comes back
// exactly as the export writes at 22050 Hz.
bool ConvertForDecoder(int fd, const WavFormat& format, const SignalOptions& options, TempRecording& out,
                       ProgressScope& scope, std::string& reason) {
  const WavHeader header = MakeWavHeader(0);
  out.Put(header.data(), header.size());
  const std::size_t bytesPerSample = static_cast<std::size_t>(format.bits / 8);
  const std::uint64_t samples = format.dataBytes / bytesPerSample;
  const std::uint64_t rate = format.rate;
  std::vector<std::uint8_t> chunk(kReadChunk * bytesPerSample);
  std::uint64_t k = 0;  // next output sample
  // Output sample k takes source sample ceil((k + 1) * rate / target) - 1.
  const auto sourceOf = [rate](std::uint64_t out) { return ((out + 1) * rate + kTarget - 1) / kTarget - 1; };
  std::uint64_t wanted = sourceOf(0);
  long long shown = -1;
  for (std::uint64_t i = 0; i < samples;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, samples - i));
    const ssize_t got =
        ::pread(fd, chunk.data(), count * bytesPerSample, static_cast<off_t>(kWavHeaderSize + i * bytesPerSample));
    if (got < 0) {
      reason = SystemErrorText(errno);
      return false;
    }
    if (got == 0) break;  // shorter than its header says: the records will show it
    const std::size_t read = static_cast<std::size_t>(got) / bytesPerSample;
    for (std::size_t s = 0; s < read; ++s, ++i) {
      while (wanted == i) {
        Level level = LevelOf(chunk.data() + s * bytesPerSample, format.bits);
        if (options.inverted && level != Level::Rest) level = level == Level::High ? Level::Low : Level::High;
        out.Put(level == Level::High ? kHighLevel : level == Level::Low ? kLowLevel : kRestLevel, 1);
        ++k;
        wanted = sourceOf(k);
      }
    }
    const long long value = static_cast<long long>(i * kConvertShare / samples);
    if (value != shown) scope.Step(shown = value);
    if (read == 0) break;  // a last part sample
  }
  if (!out.Flush()) {
    reason = SystemErrorText(out.error());
    return false;
  }
  return true;
}

bool NeedsConversion(const WavFormat& format, const SignalOptions& options) {
  return format.rate != static_cast<std::uint32_t>(kSampleRate) || format.bits != 8 || options.inverted;
}

// The record the export sends for a block: the length field and as many bytes
// as it promises, zeros where a damaged block is shorter.
TapeBlock ExpectedRecord(const TapeBlock& block) {
  TapeBlock record(static_cast<std::size_t>(RecordLength(block)) + 2, 0);
  std::copy_n(block.begin(), std::min(block.size(), record.size()), record.begin());
  return record;
}

// Walks the project's blocks and the decoded records side by side. A record
// that matches a little further on (a stray record before it) still counts;
// a damaged record is passed over as the block it stands for.
void Compare(const TapeProject& project, const std::vector<TapeBlock>& decoded, WavCheckResult& check) {
  const std::size_t n = decoded.size();
  std::size_t j = 0;
  for (int b = 0; b < project.blockCount(); ++b) {
    const TapeBlock expected = ExpectedRecord(project.blocks[static_cast<std::size_t>(b)]);
    std::size_t found = j;
    while (found < n && found < j + 3 && decoded[found] != expected) ++found;
    if (found < n && found < j + 3) {
      ++check.blocksMatched;
      j = found + 1;
      continue;
    }
    if (check.firstMismatch < 0) check.firstMismatch = b;
    if (j < n) ++j;
  }
}

std::string ResultText(const WavCheckResult& check) {
  if (check.identical) {
    return "Проверка пройдена: все блоки (" + std::to_string(check.blocksExpected) +
           ") прочитаны из файла байт в байт.";
  }
  std::string text = "Проверка не пройдена: совпало блоков" + NumberText(check.blocksMatched) + " из" +
                     NumberText(check.blocksExpected) + ".";
  if (check.firstMismatch >= 0) text += " Первый несовпавший блок:" + NumberText(check.firstMismatch + 1) + ".";
  if (check.recordsDecoded != check.blocksExpected) {
    text += " В файле прочитано записей:" + NumberText(check.recordsDecoded) + ".";
  }
  return text;
}

WavCheckResult Unreadable(const std::string& path, const std::string& reason) {
  WavCheckResult check;
  check.text = "Не удалось проверить файл " + path;
  check.detail = reason;
  return check;
}

}  // namespace

WavCheckResult VerifyWavFile(const TapeProject& project, const std::string& path, const SignalOptions& options,
                             Progress& progress) {
  ProgressScope scope(progress, kVerifyWavLabel, kProgressSteps);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Unreadable(path, SystemErrorText(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  WavFormat format;
  std::string reason;
  if (!ReadFormat(fd, format, reason)) return Unreadable(path, reason);

  TempRecording converted;
  std::string decodePath = path;
  if (NeedsConversion(format, options)) {
    if (converted.error() != 0) return Unreadable(path, SystemErrorText(converted.error()));
    if (!ConvertForDecoder(fd, format, options, converted, scope, reason)) return Unreadable(path, reason);
    decodePath = converted.path();
  }
  QuietDecode decoded;
  long long shown = -1;
  const auto step = [&scope, &shown](std::int64_t position, std::int64_t length) {
    const long long value = kConvertShare + (length > 0 ? position * (kProgressSteps - kConvertShare) / length : 0);
    if (value != shown && value < kProgressSteps) scope.Step(shown = value);
  };
  const PulseBounds bounds = options.timings == SignalTimings::Rom ? kRomBounds : PulseBounds{};
  const OpResult read = DecodeQuietly(decodePath, bounds, decoded, step);
  if (!read.ok()) return Unreadable(path, read.detail);

  WavCheckResult check;
  check.readable = true;
  check.blocksExpected = project.blockCount();
  check.recordsDecoded = static_cast<int>(decoded.records.size());
  Compare(project, decoded.records, check);
  check.identical = check.blocksMatched == check.blocksExpected && check.recordsDecoded == check.blocksExpected;
  check.text = ResultText(check);
  return check;
}

}  // namespace reelo
