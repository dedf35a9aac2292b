// The tape signal of a project, produced on demand in chunks of any size, for
// the WAV export with its options and for playing a tape through the sound card.
//
// A block's signal is a sequence of pulses (half-waves) whose levels alternate,
// low first, followed by a pause at the rest level. Pulse lengths are kept in
// ticks of the timing's own clock (samples at 22050 Hz for the exact signal,
// T-states at 3.5 MHz for the ROM's timings) and turned into samples by
// rounding each pulse's end down to a sample of the chosen rate, counted from
// the block's start. So the exact signal at 22050 Hz is sample for sample the
// one WriteBlockSignal makes, and every block has a length of its own whatever
// comes before it.
//
// Blocks of the other TZX kinds sound with their own timings in T-states
// (kind_signal.h), whatever the timing chosen for the TAP records: their
// levels follow on from the block before them, their pauses are at the rest
// level, loops repeat inside the loop's end block, a forward jump leaves the
// blocks it passes silent, and a stop of the tape is a second of silence.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "project/tape_project.h"
#include "sound/export/kind_signal.h"

namespace reelo {

enum class SignalTimings {
  Exact,  // the export's own signal: pilot 13, sync 5, bits 5 and 10 samples at 22050 Hz
  Rom,    // the Spectrum's SAVE: pilot 2168, sync 667/735, bits 855 and 1710 T-states,
          // then a 1 ms pulse that gives the last bit its closing edge
};

struct SignalOptions {
  int sampleRate = 22050;  // 22050, 44100 or 48000
  int bitsPerSample = 8;   // 8 (unsigned) or 16 (signed, little-endian)
  bool inverted = false;   // polarity: the low and high levels swapped
  SignalTimings timings = SignalTimings::Exact;
  bool operator==(const SignalOptions&) const = default;
};

inline constexpr int kSupportedSampleRates[] = {22050, 44100, 48000};

// A supported sample rate and bit depth.
bool IsValid(const SignalOptions& options);

// 16-bit levels, centred on the rest level.
inline constexpr std::int16_t kLowLevel16 = -8192;
inline constexpr std::int16_t kHighLevel16 = 8192;
inline constexpr std::int16_t kRestLevel16 = 0;

// ROM timings, in T-states of the 3.5 MHz clock.
inline constexpr std::uint64_t kRomClock = 3500000;
inline constexpr std::uint64_t kRomPilotPulse = 2168;
inline constexpr std::uint64_t kRomSync1Pulse = 667;
inline constexpr std::uint64_t kRomSync2Pulse = 735;
inline constexpr std::uint64_t kRomZeroPulse = 855;
inline constexpr std::uint64_t kRomOnePulse = 1710;
inline constexpr std::uint64_t kRomHeaderPilotPulses = 8063;  // flag byte below 128
inline constexpr std::uint64_t kRomDataPilotPulses = 3223;
inline constexpr std::uint64_t kRomPauseTicks = kRomClock;  // one second

class TapeSignalStream {
 public:
  // The project is read while the stream lives and must not change meanwhile.
  TapeSignalStream(const TapeProject& project, const SignalOptions& options, int firstBlock = 0);

  // Writes up to maxSamples samples (bytesPerSample() bytes each) to out and
  // returns how many it wrote. One call never crosses from one block into the
  // next, so a caller sees every block's end; 0 once the last block is done.
  std::size_t Read(std::uint8_t* out, std::size_t maxSamples);

  // The block the next sample belongs to (blockCount() when done).
  int block() const { return block_; }
  bool done() const { return block_ >= static_cast<int>(blockStarts_.size()) - 1; }
  // Samples from the start of block 0 to the next sample; skipped blocks count.
  std::uint64_t position() const { return blockStarts_[static_cast<std::size_t>(block_)] + sampleInBlock_; }
  // Samples of the whole tape, and where each block starts.
  std::uint64_t totalSamples() const { return blockStarts_.back(); }
  std::uint64_t blockStart(int block) const { return blockStarts_[static_cast<std::size_t>(block)]; }
  // The next Read starts at the beginning of that block (clamped to the tape).
  void SeekBlock(int block);
  // True when the block stops the tape: a player stops after it.
  bool stopsAfter(int block) const;
  // The first block from `from` on that stops the tape (blockCount() - 1 when none does).
  int nextStop(int from) const;

  int bytesPerSample() const { return options_.bitsPerSample / 8; }
  const SignalOptions& options() const { return options_; }

 private:
  // A pulse's length in samples, split so that consecutive pulses add up
  // exactly without a division: ticks * rate = samples * clock + rest.
  struct PulseStep {
    std::uint64_t samples = 0;
    std::uint64_t rest = 0;
  };
  enum PulseKind {
    kPilotPulse,
    kSync1Pulse,
    kSync2Pulse,
    kZeroPulse,
    kOnePulse,
    kClosingPulse,
    kPausePulse,
    kPulseKinds
  };
  // A whole pulse of a record in one copy: the longest but the ROM's closing
  // pulse at 44100 or 48000 Hz (those few go the longer way).
  static constexpr std::size_t kPatternBytes = 64;

  void StartPulse();
  PulseKind RecordPulseKind() const;
  bool NextPulse();
  std::size_t ReadRecordPulses(std::uint8_t* out, std::size_t maxSamples, std::size_t written);
  bool LowPulse() const;
  bool KindBlock(int block) const;
  void SetPulseEnd(std::uint64_t ticks, std::uint64_t clock);

  const TapeProject& project_;
  SignalOptions options_;
  std::vector<std::vector<int>> plan_;  // blocks each block's signal plays
  std::unique_ptr<KindSignal> kind_;    // the current block's pulses, when it is not a plain record
  PulseLevel kindLevel_ = PulseLevel::Low;
  bool high_ = true;                    // the level before the next kind block
  std::uint64_t kindPulses_ = 0;        // pulses the current kind block gave so far
  // A record after a block that ends low with no pause starts high, so that its
  // first pilot pulse has an edge of its own; after a pause it starts low.
  bool flipNextRecord_ = false;
  bool recordFlipped_ = false;
  std::vector<std::uint64_t> blockStarts_;  // blockCount + 1 entries
  int block_ = 0;
  std::uint64_t pulse_ = 0;          // the current pulse of the block; pulseCount_ is the pause
  std::uint64_t pulseCount_ = 0;     // pulses before the pause
  std::uint64_t dataEnd_ = 0;        // the first pulse after the data
  std::uint64_t pilotPulses_ = 0;
  int recordLength_ = 0;
  std::uint64_t pulseStartTick_ = 0;  // a kind block's ticks so far
  std::uint64_t pulseEndSample_ = 0;
  std::uint64_t tickRest_ = 0;  // a record's ticks so far times the rate, less pulseEndSample_ times the clock
  std::array<PulseStep, kPulseKinds> steps_{};
  std::array<std::uint8_t, kPatternBytes> lowPattern_{};   // a run of the low level in the sample size
  std::array<std::uint8_t, kPatternBytes> highPattern_{};
  std::uint64_t sampleInBlock_ = 0;
};

// True when every block is a plain record (no other TZX kind among them).
bool AllPlainRecords(const TapeProject& project);

// The number of samples of one plain record's signal, and of the whole project's.
std::uint64_t BlockSignalSamples(const TapeBlock& block, const SignalOptions& options);
std::uint64_t ProjectSignalSamples(const TapeProject& project, const SignalOptions& options);

}  // namespace reelo
