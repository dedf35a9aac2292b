#include "sound/export/tape_signal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace reelo {
namespace {

constexpr int kBitsPerByte = 8;
constexpr int kFirstSentByte = 2;  // the flag byte; the length field is not sent
constexpr std::uint8_t kTopBit = 0x80;
constexpr std::uint8_t kByteAfterRecord = 0;
constexpr int kByteValues = 256;

// Samples of one cycle of the given half-length.
constexpr std::uint64_t CycleLength(int halfLength) { return 2 * static_cast<std::uint64_t>(halfLength); }

// The record's bytes after the length field that the block holds: all of
// them, unless the block is a damaged record shorter than its length field
// says (the missing bytes are sent as 0, like the byte after the checksum).
std::size_t PresentBytes(const TapeBlock& block, int recordLength) {
  const auto first = static_cast<std::size_t>(kFirstSentByte);
  const std::size_t held = block.size() > first ? block.size() - first : 0;
  return std::min(held, static_cast<std::size_t>(recordLength));
}

const std::uint8_t* SentBytes(const TapeBlock& block, std::size_t present) {
  return present > 0 ? block.data() + kFirstSentByte : nullptr;
}

// Samples of each byte value's signal, looked up rather than counted: a long
// tape's length is asked for before every export.
constexpr std::array<std::uint8_t, kByteValues> kByteSignalLengths = [] {
  std::array<std::uint8_t, kByteValues> lengths{};
  for (int v = 0; v < kByteValues; ++v) {
    const int ones = std::popcount(static_cast<unsigned>(v));
    lengths[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(
        ones * CycleLength(kOneHalfLength) + (kBitsPerByte - ones) * CycleLength(kZeroHalfLength));
  }
  return lengths;
}();

// The samples of one byte: a cycle per bit, most significant bit first.
constexpr std::size_t kMaxByteSignal = kBitsPerByte * 2 * kOneHalfLength;
struct ByteSignal {
  std::array<std::uint8_t, kMaxByteSignal> samples{};
  std::size_t length = 0;
};

ByteSignal MakeByteSignal(std::uint8_t value) {
  ByteSignal signal;
  for (int bit = 0; bit < kBitsPerByte; ++bit) {
    const auto half = static_cast<std::size_t>((value & (kTopBit >> bit)) != 0 ? kOneHalfLength : kZeroHalfLength);
    std::fill_n(signal.samples.begin() + static_cast<std::ptrdiff_t>(signal.length), half, kLowLevel);
    std::fill_n(signal.samples.begin() + static_cast<std::ptrdiff_t>(signal.length + half), half, kHighLevel);
    signal.length += 2 * half;
  }
  return signal;
}

// The data bytes are most of every signal, so each byte value's samples are
// made once and copied as one run (40 KB in all).
const std::array<ByteSignal, kByteValues>& ByteSignals() {
  static const std::array<ByteSignal, kByteValues> table = [] {
    std::array<ByteSignal, kByteValues> signals;
    for (std::size_t v = 0; v < signals.size(); ++v) signals[v] = MakeByteSignal(static_cast<std::uint8_t>(v));
    return signals;
  }();
  return table;
}

// The signal of count bytes, byteAt(i) giving each, written straight into
// the sink: each byte's samples are copied as one fixed-size run (the sink
// has room past its chunk for it) and only its own length is kept.
template <class ByteAt>
void WriteBytesSignal(SampleSink& sink, std::size_t count, ByteAt byteAt) {
  static_assert(SampleSink::kSpill >= kMaxByteSignal);
  const auto& signals = ByteSignals();
  std::size_t i = 0;
  while (i < count) {
    std::uint8_t* const start = sink.end();
    std::uint8_t* const stop = start + sink.room();
    std::uint8_t* out = start;
    for (; i < count && out < stop; ++i) {
      const ByteSignal& signal = signals[byteAt(i)];
      std::memcpy(out, signal.samples.data(), kMaxByteSignal);
      out += signal.length;
    }
    sink.Commit(static_cast<std::size_t>(out - start));
  }
}

}  // namespace

void WriteSignalCycle(SampleSink& sink, int halfLength) {
  const auto n = static_cast<std::size_t>(halfLength);
  sink.Fill(kLowLevel, n);
  sink.Fill(kHighLevel, n);
}

int PilotCycles(const TapeBlock& block) { return IsHeader(block) ? kHeaderPilotCycles : kDataPilotCycles; }

void WriteBlockSignal(SampleSink& sink, const TapeBlock& block) {
  const int pilotCycles = PilotCycles(block);
  for (int i = 0; i < pilotCycles; ++i) WriteSignalCycle(sink, kPilotHalfLength);
  WriteSignalCycle(sink, kSyncHalfLength);
  const int length = RecordLength(block);
  const std::size_t present = PresentBytes(block, length);
  const std::uint8_t* bytes = SentBytes(block, present);
  WriteBytesSignal(sink, present, [bytes](std::size_t i) { return bytes[i]; });
  const std::size_t missing = static_cast<std::size_t>(length) - present + kExtraBytesSent;
  WriteBytesSignal(sink, missing, [](std::size_t) { return kByteAfterRecord; });
  sink.Fill(kRestLevel, kPauseSamples);
}

std::uint64_t BlockSignalLength(const TapeBlock& block) {
  std::uint64_t total = PilotCycles(block) * CycleLength(kPilotHalfLength) + CycleLength(kSyncHalfLength);
  const int length = RecordLength(block);
  const std::size_t present = PresentBytes(block, length);
  const std::uint8_t* bytes = SentBytes(block, present);
  for (std::size_t i = 0; i < present; ++i) total += kByteSignalLengths[bytes[i]];
  const std::size_t missing = static_cast<std::size_t>(length) - present + kExtraBytesSent;
  return total + missing * kByteSignalLengths[kByteAfterRecord] + kPauseSamples;
}

std::uint64_t ProjectSignalLength(const TapeProject& project) {
  std::uint64_t total = 0;
  for (const auto& block : project.blocks) total += BlockSignalLength(block);
  return total;
}

}  // namespace reelo
