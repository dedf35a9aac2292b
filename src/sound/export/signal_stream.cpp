#include "sound/export/signal_stream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "project/block_kinds.h"
#include "sound/export/tape_signal.h"

namespace reelo {
namespace {

constexpr int kBitsPerByte = 8;
constexpr int kPulsesPerBit = 2;
constexpr std::uint64_t kPulsesPerByte = kBitsPerByte * kPulsesPerBit;
constexpr int kFirstSentByte = 2;  // the flag byte; the length field is not sent
constexpr int kSyncPulses = 2;

// One timing's pulse lengths in ticks of its clock.
struct Timing {
  std::uint64_t clock;
  std::uint64_t pilot, sync1, sync2, zero, one, pause;
  int extraBytes;         // bytes sent after the checksum
  std::uint64_t closing;  // a last pulse after the data, 0 for none
};

constexpr Timing kExactTiming{kSampleRate,     kPilotHalfLength, kSyncHalfLength, kSyncHalfLength,
                              kZeroHalfLength, kOneHalfLength,   kPauseSamples,   kExtraBytesSent, 0};
// The ROM's signal ends its last bit with an edge: without it the last
// half-wave runs on into the silence, and a loader that waits for that edge
// (the Spectrum's own, audio2tape) loses the last bit of every block. One
// millisecond at the other level, as TZX players do, gives the edge.
constexpr Timing kRomTiming{kRomClock,     kRomPilotPulse, kRomSync1Pulse, kRomSync2Pulse,
                            kRomZeroPulse, kRomOnePulse,   kRomPauseTicks, 0, kRomClock / 1000};

const Timing& TimingOf(const SignalOptions& options) {
  return options.timings == SignalTimings::Rom ? kRomTiming : kExactTiming;
}

std::uint64_t PilotPulses(const TapeBlock& block, const SignalOptions& options) {
  if (options.timings == SignalTimings::Rom) {
    return ByteAt(block, kFirstSentByte) < 0x80 ? kRomHeaderPilotPulses : kRomDataPilotPulses;
  }
  return static_cast<std::uint64_t>(PilotCycles(block)) * kPulsesPerBit;
}

std::uint8_t SentByte(const TapeBlock& block, int recordLength, std::uint64_t i) {
  return i < static_cast<std::uint64_t>(recordLength) ? ByteAt(block, kFirstSentByte + static_cast<long long>(i)) : 0;
}

// The sample at which a tick of the timing's clock falls, counted from the block's start.
std::uint64_t SampleOfTick(std::uint64_t tick, const Timing& timing, int sampleRate) {
  return tick * static_cast<std::uint64_t>(sampleRate) / timing.clock;
}

// The one bits of each byte value (a table: without the processor's own
// instruction enabled, counting them is a library call per byte).
constexpr std::array<std::uint8_t, 256> kOneBits = [] {
  std::array<std::uint8_t, 256> ones{};
  for (unsigned v = 0; v < ones.size(); ++v) ones[v] = static_cast<std::uint8_t>(std::popcount(v));
  return ones;
}();

std::uint64_t BlockTicks(const TapeBlock& block, const SignalOptions& options) {
  const Timing& timing = TimingOf(options);
  const int length = RecordLength(block);
  const std::uint64_t bytes = static_cast<std::uint64_t>(length + timing.extraBytes);
  std::uint64_t ones = 0;
  for (std::uint64_t i = 0; i < bytes; ++i) ones += kOneBits[SentByte(block, length, i)];
  const std::uint64_t zeros = bytes * kBitsPerByte - ones;
  return PilotPulses(block, options) * timing.pilot + timing.sync1 + timing.sync2 +
         kPulsesPerBit * (ones * timing.one + zeros * timing.zero) + timing.closing + timing.pause;
}

void WriteRun(std::uint8_t* out, std::size_t count, int bitsPerSample, std::uint8_t level8, std::int16_t level16) {
  if (bitsPerSample == 8) {
    std::memset(out, level8, count);
    return;
  }
  const auto bits = static_cast<std::uint16_t>(level16);
  const std::uint8_t lo = static_cast<std::uint8_t>(bits & 0xFF), hi = static_cast<std::uint8_t>(bits >> 8);
  for (std::size_t i = 0; i < count; ++i) {
    out[2 * i] = lo;
    out[2 * i + 1] = hi;
  }
}

}  // namespace

bool IsValid(const SignalOptions& options) {
  const bool rateOk = std::find(std::begin(kSupportedSampleRates), std::end(kSupportedSampleRates),
                                options.sampleRate) != std::end(kSupportedSampleRates);
  return rateOk && (options.bitsPerSample == 8 || options.bitsPerSample == 16);
}

std::uint64_t BlockSignalSamples(const TapeBlock& block, const SignalOptions& options) {
  return SampleOfTick(BlockTicks(block, options), TimingOf(options), options.sampleRate);
}

namespace {

bool PlaysItself(const std::vector<std::vector<int>>& plan, std::size_t i) {
  return plan[i].size() == 1 && plan[i][0] == static_cast<int>(i);
}

// Samples of each block: a plain record that plays itself by its timing, any
// other block by its plan in T-states.
std::vector<std::uint64_t> BlockSamples(const TapeProject& project, const SignalOptions& options,
                                        const std::vector<std::vector<int>>& plan) {
  std::vector<std::uint64_t> samples;
  samples.reserve(project.blocks.size());
  for (std::size_t i = 0; i < project.blocks.size(); ++i) {
    if (project.blocks[i].isPlainRecord() && PlaysItself(plan, i)) {
      samples.push_back(BlockSignalSamples(project.blocks[i], options));
    } else {
      samples.push_back(KindSignalTicks(project, plan[i]) * static_cast<std::uint64_t>(options.sampleRate) /
                        kKindClock);
    }
  }
  return samples;
}

}  // namespace

bool AllPlainRecords(const TapeProject& project) {
  return std::all_of(project.blocks.begin(), project.blocks.end(),
                     [](const TapeBlock& block) { return block.isPlainRecord(); });
}

std::uint64_t ProjectSignalSamples(const TapeProject& project, const SignalOptions& options) {
  std::uint64_t total = 0;
  if (AllPlainRecords(project)) {
    for (const TapeBlock& block : project.blocks) total += BlockSignalSamples(block, options);
    return total;
  }
  for (std::uint64_t n : BlockSamples(project, options, SignalPlan(project))) total += n;
  return total;
}

TapeSignalStream::TapeSignalStream(const TapeProject& project, const SignalOptions& options, int firstBlock)
    : project_(project), options_(options) {
  if (!IsValid(options_)) options_ = SignalOptions{};
  const Timing& timing = TimingOf(options_);
  const std::uint64_t ticks[kPulseKinds] = {timing.pilot, timing.sync1,   timing.sync2, timing.zero,
                                            timing.one,   timing.closing, timing.pause};
  for (int k = 0; k < kPulseKinds; ++k) {
    const std::uint64_t scaled = ticks[k] * static_cast<std::uint64_t>(options_.sampleRate);
    steps_[static_cast<std::size_t>(k)] = {scaled / timing.clock, scaled % timing.clock};
  }
  const std::size_t patternSamples = kPatternBytes / static_cast<std::size_t>(bytesPerSample());
  WriteRun(lowPattern_.data(), patternSamples, options_.bitsPerSample, kLowLevel, kLowLevel16);
  WriteRun(highPattern_.data(), patternSamples, options_.bitsPerSample, kHighLevel, kHighLevel16);
  blockStarts_.reserve(project.blocks.size() + 1);
  std::uint64_t start = 0;
  blockStarts_.push_back(0);
  if (AllPlainRecords(project)) {
    for (const TapeBlock& block : project.blocks) {
      start += BlockSignalSamples(block, options_);
      blockStarts_.push_back(start);
    }
  } else {
    plan_ = SignalPlan(project);
    for (std::uint64_t n : BlockSamples(project, options_, plan_)) blockStarts_.push_back(start += n);
  }
  SeekBlock(firstBlock);
}

bool TapeSignalStream::KindBlock(int block) const {
  const auto i = static_cast<std::size_t>(block);
  return !plan_.empty() && !(project_.blocks[i].isPlainRecord() && PlaysItself(plan_, i));
}

bool TapeSignalStream::stopsAfter(int block) const {
  return block >= 0 && block < project_.blockCount() && StopsTape(project_.blocks[static_cast<std::size_t>(block)]) &&
         !plan_.empty() && !plan_[static_cast<std::size_t>(block)].empty();
}

int TapeSignalStream::nextStop(int from) const {
  const int last = project_.blockCount() - 1;
  if (plan_.empty()) return last;
  for (int b = std::max(from, 0); b < last; ++b) {
    if (stopsAfter(b)) return b;
  }
  return last;
}

void TapeSignalStream::SeekBlock(int block) {
  block_ = std::clamp(block, 0, project_.blockCount());
  sampleInBlock_ = 0;
  pulse_ = 0;
  pulseStartTick_ = 0;
  kind_.reset();
  if (done()) return;
  if (KindBlock(block_)) {
    kind_ = std::make_unique<KindSignal>(project_, plan_[static_cast<std::size_t>(block_)], high_);
    kindPulses_ = 0;
    pulseEndSample_ = 0;
    kindLevel_ = PulseLevel::Rest;
    NextPulse();
    return;
  }
  recordFlipped_ = flipNextRecord_;
  const TapeBlock& current = project_.blocks[static_cast<std::size_t>(block_)];
  recordLength_ = RecordLength(current);
  pilotPulses_ = PilotPulses(current, options_);
  dataEnd_ = pilotPulses_ + kSyncPulses +
             static_cast<std::uint64_t>(recordLength_ + TimingOf(options_).extraBytes) * kPulsesPerByte;
  pulseCount_ = dataEnd_ + (TimingOf(options_).closing > 0 ? 1 : 0);
  pulseEndSample_ = 0;
  tickRest_ = 0;
  StartPulse();
}

TapeSignalStream::PulseKind TapeSignalStream::RecordPulseKind() const {
  if (pulse_ < pilotPulses_) return kPilotPulse;
  if (pulse_ < pilotPulses_ + kSyncPulses) return pulse_ == pilotPulses_ ? kSync1Pulse : kSync2Pulse;
  if (pulse_ == dataEnd_ && pulse_ < pulseCount_) return kClosingPulse;
  if (pulse_ >= pulseCount_) return kPausePulse;
  const std::uint64_t inData = pulse_ - pilotPulses_ - kSyncPulses;
  const std::uint8_t value =
      SentByte(project_.blocks[static_cast<std::size_t>(block_)], recordLength_, inData / kPulsesPerByte);
  const auto bit = static_cast<int>(inData % kPulsesPerByte) / kPulsesPerBit;
  return (value & (0x80 >> bit)) != 0 ? kOnePulse : kZeroPulse;
}

// Moves the end of the current pulse on by its length: the sample at which
// the record's ticks so far fall, rounded down, as SampleOfTick gives it.
void TapeSignalStream::StartPulse() {
  const PulseStep& step = steps_[RecordPulseKind()];
  pulseEndSample_ += step.samples;
  tickRest_ += step.rest;
  if (tickRest_ >= TimingOf(options_).clock) {
    tickRest_ -= TimingOf(options_).clock;
    ++pulseEndSample_;
  }
}

// A kind's pulse of the given ticks ends at this sample of the block.
void TapeSignalStream::SetPulseEnd(std::uint64_t ticks, std::uint64_t clock) {
  pulseStartTick_ += ticks;
  pulseEndSample_ = pulseStartTick_ * static_cast<std::uint64_t>(options_.sampleRate) / clock;
}

// Moves to the block's next pulse; false when the block has no more.
bool TapeSignalStream::NextPulse() {
  if (kind_) {
    std::uint64_t ticks = 0;
    if (!kind_->Next(ticks, kindLevel_)) return false;
    ++kindPulses_;
    high_ = kind_->high();
    SetPulseEnd(ticks, kKindClock);
    return true;
  }
  if (pulse_ == pulseCount_) return false;
  ++pulse_;
  StartPulse();
  return true;
}

// Pulses alternate low, high, low... from the first pilot pulse; inverted
// polarity swaps the two.
bool TapeSignalStream::LowPulse() const {
  if (kind_) return (kindLevel_ == PulseLevel::Low) != options_.inverted;
  return (((pulse_ % 2) == 0) != recordFlipped_) != options_.inverted;
}

// The pulses of a record before its pause, each written whole with one
// fixed-size copy of its level's pattern while the caller's buffer has room
// for a whole pattern; the rest of the copy is overwritten by the next pulse
// or lies past what is returned.
std::size_t TapeSignalStream::ReadRecordPulses(std::uint8_t* out, std::size_t maxSamples, std::size_t written) {
  const auto bytes = static_cast<std::size_t>(bytesPerSample());
  const std::size_t patternSamples = kPatternBytes / bytes;
  while (pulse_ < pulseCount_ && maxSamples - written >= patternSamples) {
    const std::uint64_t count = pulseEndSample_ - sampleInBlock_;
    if (count > patternSamples) break;
    std::memcpy(out + written * bytes, LowPulse() ? lowPattern_.data() : highPattern_.data(), kPatternBytes);
    written += static_cast<std::size_t>(count);
    sampleInBlock_ += count;
    ++pulse_;
    StartPulse();
  }
  return written;
}

std::size_t TapeSignalStream::Read(std::uint8_t* out, std::size_t maxSamples) {
  std::size_t written = 0;
  const int bytes = bytesPerSample();
  while (!done() && written < maxSamples) {
    if (!kind_) {
      written = ReadRecordPulses(out, maxSamples, written);
      if (written == maxSamples) break;
    }
    const std::uint64_t left = pulseEndSample_ > sampleInBlock_ ? pulseEndSample_ - sampleInBlock_ : 0;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(left, maxSamples - written));
    const bool rest = kind_ ? kindLevel_ == PulseLevel::Rest : pulse_ == pulseCount_;
    if (rest) {
      WriteRun(out + written * bytes, count, options_.bitsPerSample, kRestLevel, kRestLevel16);
    } else if (LowPulse()) {
      WriteRun(out + written * bytes, count, options_.bitsPerSample, kLowLevel, kLowLevel16);
    } else {
      WriteRun(out + written * bytes, count, options_.bitsPerSample, kHighLevel, kHighLevel16);
    }
    written += count;
    sampleInBlock_ += count;
    if (sampleInBlock_ < pulseEndSample_) break;
    if (!NextPulse()) {
      // A plain record ends at rest, and the next block's first edge goes low.
      if (!kind_) {
        high_ = true;
        flipNextRecord_ = false;
      } else if (kindPulses_ > 0) {
        flipNextRecord_ = kindLevel_ == PulseLevel::Low;
      }
      SeekBlock(block_ + 1);
      // A block without a sample (a text, a skipped block) is passed over in
      // the same call: a Read of 0 samples means the tape is done.
      if (written > 0) break;
    }
  }
  return written;
}

}  // namespace reelo
