#include "sound/export/tape_signal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

namespace reelo {
namespace {

constexpr int kBitsPerByte = 8;
constexpr int kFirstSentByte = 2;  // the flag byte; the length field is not sent
constexpr std::uint8_t kTopBit = 0x80;
constexpr std::uint8_t kByteAfterRecord = 0;
constexpr int kByteValues = 256;

// Samples of one cycle of the given half-length.
constexpr std::uint64_t CycleLength(int halfLength) { return 2 * static_cast<std::uint64_t>(halfLength); }

// The i-th byte sent for a block (i from 0): the record's bytes after the
// length field, then 0 for the byte after the checksum. ByteAt also gives 0 for
// the missing bytes of a damaged record shorter than its length field says.
std::uint8_t SentByte(const TapeBlock& block, int recordLength, int i) {
  return i < recordLength ? ByteAt(block, kFirstSentByte + i) : kByteAfterRecord;
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

void WriteByteSignal(SampleSink& sink, const std::array<ByteSignal, kByteValues>& signals, std::uint8_t value) {
  const ByteSignal& signal = signals[value];
  sink.Append(signal.samples.data(), signal.length);
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
  const auto& signals = ByteSignals();
  for (int i = 0; i < length + kExtraBytesSent; ++i) WriteByteSignal(sink, signals, SentByte(block, length, i));
  sink.Fill(kRestLevel, kPauseSamples);
}

std::uint64_t BlockSignalLength(const TapeBlock& block) {
  std::uint64_t total = PilotCycles(block) * CycleLength(kPilotHalfLength) + CycleLength(kSyncHalfLength);
  const int length = RecordLength(block);
  for (int i = 0; i < length + kExtraBytesSent; ++i) total += kByteSignalLengths[SentByte(block, length, i)];
  return total + kPauseSamples;
}

std::uint64_t ProjectSignalLength(const TapeProject& project) {
  std::uint64_t total = 0;
  for (const auto& block : project.blocks) total += BlockSignalLength(block);
  return total;
}

}  // namespace reelo
