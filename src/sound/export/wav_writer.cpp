#include "sound/export/wav_writer.h"

#include <algorithm>
#include <cstring>

#include "project/atomic_file.h"
#include "project/tap_file.h"
#include "sound/export/sample_sink.h"
#include "sound/export/tape_signal.h"

namespace reelo {
namespace {

constexpr std::size_t kRiffSizeOffset = 4;
constexpr std::size_t kDataSizeOffset = 40;
constexpr std::uint32_t kFormatChunkSize = 16;
constexpr std::uint16_t kPcmFormat = 1;
constexpr std::uint16_t kMonoChannels = 1;
constexpr std::uint16_t kBytesPerSample = 1;
constexpr std::uint16_t kBitsPerSample = 8;
// Samples handed to the file writer at a time: large enough that a write is
// rare, small enough to stay in the processor's cache while it is filled.
constexpr std::size_t kExportChunkSize = std::size_t{256} << 10;

void PutTag(WavHeader& header, std::size_t offset, const char (&tag)[5]) {
  std::memcpy(header.data() + offset, tag, 4);
}

void PutLittleEndian(std::uint8_t* out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

void Put32(WavHeader& header, std::size_t offset, std::uint32_t value) {
  PutLittleEndian(header.data() + offset, value, 4);
}

void Put16(WavHeader& header, std::size_t offset, std::uint16_t value) {
  PutLittleEndian(header.data() + offset, value, 2);
}

// Streams the header and every block's signal to the writer, one progress
// step per block. The header goes through the sink too, so the file is
// written in calls of one chunk each, every one at a multiple of the chunk
// size into the file.
bool WriteSamples(const TapeProject& project, const WavHeader& header, AtomicFileWriter& writer,
                  ProgressScope& scope) {
  SampleSink sink([&writer](const std::uint8_t* samples, std::size_t count) { return writer.Write(samples, count); },
                  kExportChunkSize);
  sink.Append(header.data(), header.size());
  for (int i = 0; i < project.blockCount(); ++i) {
    WriteBlockSignal(sink, project.blocks[static_cast<std::size_t>(i)]);
    if (sink.failed()) return false;
    scope.Step(i);
  }
  return sink.Flush();
}

OpResult SaveFailed(const AtomicFileWriter& writer) { return OpResult::Fail(kSaveFailedText, writer.error()); }

}  // namespace

bool PatchWavSizes(AtomicFileWriter& writer, std::uint64_t dataSize) {
  const auto size = static_cast<std::uint32_t>(std::min(dataSize, kMaxWavDataSize));
  std::uint8_t field[4];
  PutLittleEndian(field, size, 4);
  if (!writer.WriteAt(kDataSizeOffset, field, sizeof field)) return false;
  PutLittleEndian(field, size + static_cast<std::uint32_t>(kWavRiffOverhead), 4);
  return writer.WriteAt(kRiffSizeOffset, field, sizeof field);
}

WavHeader MakeWavHeader(std::uint32_t dataSize) {
  WavHeader header{};
  PutTag(header, 0, "RIFF");
  Put32(header, kRiffSizeOffset, dataSize + static_cast<std::uint32_t>(kWavRiffOverhead));
  PutTag(header, 8, "WAVE");
  PutTag(header, 12, "fmt ");
  Put32(header, 16, kFormatChunkSize);
  Put16(header, 20, kPcmFormat);
  Put16(header, 22, kMonoChannels);
  Put32(header, 24, kSampleRate);
  Put32(header, 28, kSampleRate * kBytesPerSample);
  Put16(header, 32, kBytesPerSample);
  Put16(header, 34, kBitsPerSample);
  PutTag(header, 36, "data");
  Put32(header, kDataSizeOffset, dataSize);
  return header;
}

OpResult SaveWavFile(const TapeProject& project, const std::string& wavFileName, Progress& progress) {
  // The exact length is known in advance, so a project too long for the size
  // fields is refused before any file is touched.
  const std::uint64_t expected = ProjectSignalLength(project);
  if (expected > kMaxWavDataSize) return OpResult::Fail(kWavTooLargeText);

  ProgressScope scope(progress, kSaveWavLabel, project.blockCount());
  AtomicFileWriter writer;
  if (!writer.Open(wavFileName)) return SaveFailed(writer);
  writer.Reserve(kWavHeaderSize + expected);
  writer.StartWritebackEarly();
  const WavHeader header = MakeWavHeader(static_cast<std::uint32_t>(expected));
  if (!WriteSamples(project, header, writer, scope)) return SaveFailed(writer);
  // The size fields hold the length counted in advance; should the signal
  // have come out another length, they are made to say what was written.
  const std::uint64_t dataSize = writer.size() - kWavHeaderSize;
  if (dataSize != expected && !PatchWavSizes(writer, dataSize)) return SaveFailed(writer);
  if (!writer.Commit()) return SaveFailed(writer);
  return OpResult::Success();
}

}  // namespace reelo
