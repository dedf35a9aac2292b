#include "sound/export/wav_export.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "project/atomic_file.h"
#include "project/tap_file.h"
#include "sound/export/signal_stream.h"

namespace reelo {
namespace {

constexpr std::size_t kRiffSizeOffset = 4;
constexpr std::size_t kSampleRateOffset = 24;
constexpr std::size_t kByteRateOffset = 28;
constexpr std::size_t kBlockAlignOffset = 32;
constexpr std::size_t kBitsOffset = 34;
constexpr std::size_t kDataSizeOffset = 40;
// Samples asked of the generator at a time.
constexpr std::size_t kChunkSamples = std::size_t{128} << 10;

void Put(std::uint8_t* out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

bool PatchSizes(AtomicFileWriter& writer, std::uint32_t dataBytes) {
  std::uint8_t field[4];
  Put(field, dataBytes, 4);
  if (!writer.WriteAt(kDataSizeOffset, field, sizeof field)) return false;
  Put(field, dataBytes + static_cast<std::uint32_t>(kWavRiffOverhead), 4);
  return writer.WriteAt(kRiffSizeOffset, field, sizeof field);
}

// Streams the header and the signal to the writer, one progress step as each
// block ends. The header shares the first chunk, so every write but the last
// is one whole chunk at a multiple of the chunk size into the file.
bool WriteSignal(const TapeProject& project, const SignalOptions& options, const WavHeader& header,
                 AtomicFileWriter& writer, ProgressScope& scope) {
  TapeSignalStream stream(project, options);
  const auto bytesPerSample = static_cast<std::size_t>(stream.bytesPerSample());
  const std::size_t chunkBytes = kChunkSamples * bytesPerSample;
  // Not zero-filled: only the samples the stream wrote are handed on.
  const std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[chunkBytes]);
  std::memcpy(chunk.get(), header.data(), header.size());
  std::size_t used = header.size();
  int stepped = 0;
  while (!stream.done()) {
    // A Read stops at each block's end; the rest of the chunk is filled by
    // the next ones, so short blocks do not each cost a write.
    while (used < chunkBytes && !stream.done()) {
      const std::size_t read = stream.Read(chunk.get() + used, (chunkBytes - used) / bytesPerSample);
      used += read * bytesPerSample;
      for (; stepped < stream.block(); ++stepped) scope.Step(stepped);
      if (read == 0) break;
    }
    if (used == 0) break;
    if (!writer.Write(chunk.get(), used)) return false;
    used = 0;
  }
  return used == 0 || writer.Write(chunk.get(), used);
}

}  // namespace

WavHeader MakeWavHeader(std::uint32_t dataBytes, const SignalOptions& options) {
  WavHeader header = MakeWavHeader(dataBytes);
  const auto bytesPerSample = static_cast<std::uint32_t>(options.bitsPerSample / 8);
  Put(header.data() + kSampleRateOffset, static_cast<std::uint32_t>(options.sampleRate), 4);
  Put(header.data() + kByteRateOffset, static_cast<std::uint32_t>(options.sampleRate) * bytesPerSample, 4);
  Put(header.data() + kBlockAlignOffset, bytesPerSample, 2);
  Put(header.data() + kBitsOffset, static_cast<std::uint32_t>(options.bitsPerSample), 2);
  return header;
}

OpResult SaveWavFile(const TapeProject& project, const std::string& path, const SignalOptions& options,
                     Progress& progress) {
  if (!IsValid(options)) return OpResult::Fail(kBadSignalOptionsText);
  const std::uint64_t bytes =
      ProjectSignalSamples(project, options) * static_cast<std::uint64_t>(options.bitsPerSample / 8);
  if (bytes > kMaxWavDataSize) return OpResult::Fail(kWavTooLargeText);
  // The default options give the export's own signal sample for sample; it is
  // made a cycle and a byte at a time instead of a pulse at a time.
  if (options == SignalOptions{} && AllPlainRecords(project)) return SaveWavFile(project, path, progress);

  ProgressScope scope(progress, kSaveWavLabel, project.blockCount());
  AtomicFileWriter writer;
  const auto failed = [&writer] { return OpResult::Fail(kSaveFailedText, writer.error()); };
  if (!writer.Open(path)) return failed();
  writer.Reserve(kWavHeaderSize + bytes);
  writer.StartWritebackEarly();
  // The sizes are known before the signal is made; they are patched only if
  // the signal came out another length.
  const WavHeader header = MakeWavHeader(static_cast<std::uint32_t>(bytes), options);
  if (!WriteSignal(project, options, header, writer, scope)) return failed();
  const std::uint64_t written = writer.size() - kWavHeaderSize;
  if (written != bytes && !PatchSizes(writer, static_cast<std::uint32_t>(written))) return failed();
  if (!writer.Commit()) return failed();
  return OpResult::Success();
}

}  // namespace reelo
