// Pulse measurement: the length, in samples, of the next high half-wave of
// the recording. Everything else in the import works on these lengths.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "sound/import/pulse_scan.h"
#include "sound/import/recording_reader.h"
#include "sound/recording/pacer.h"

namespace reelo {

// A sample this high or higher starts a half-wave while the signal is low.
inline constexpr std::uint8_t kRiseLevel = 128;
// A sample this low or lower ends it. The rest level 127 in between changes
// nothing: it continues a high half-wave and it continues a low stretch.
inline constexpr std::uint8_t kFallLevel = 126;
// The longest half-wave measured; a longer one gives 0, like the end.
inline constexpr int kMaxPulseLength = 1000;

// A run looks at the clock (its pacer) every this many samples read, and
// reports its progress once every this many pulses at most.
inline constexpr std::int64_t kSamplesPerClockCheck = 4096;

// Where the runs start reading: the analysis reads the last header byte as a
// sample, the decoder skips the header and the first five samples.
inline constexpr std::int64_t kAnalysisStartPosition = 44;
inline constexpr std::int64_t kDecodeStartPosition = 50;

// Measures the next half-wave from position (1-based) and advances position
// past the sample that ended it. The rising sample (kRiseLevel or more) is not
// counted, the falling one (kFallLevel or less) is, so a cycle of n low and n
// high samples measures n.
//
// Returns 0 for the end of the recording or a half-wave over kMaxPulseLength:
//  - no rising sample up to F: position becomes F + 1;
//  - a rising sample in the last byte starts no pulse;
//  - a half-wave cannot be ended by the last two bytes (position stops at F,
//    or at F + 1 when the rise was at F - 1);
//  - called with position beyond F: one read, position + 1.
// The pacer is ticked as samples are read, so long runs of samples yield too.
int MeasurePulse(RecordingReader& recording, std::int64_t& position, Pacer& pacer);

// Measures pulse after pulse as MeasurePulse does, at a fraction of its cost:
// the level changes of up to span samples from a pulse's start are found at
// once (a bit per sample, many samples per instruction) and handed out one
// pulse at a time; a pulse that does not end within them (a long one, the
// end of the buffered window or of the recording) is measured by the sample
// searches. The same lengths, positions and pacer ticks as MeasurePulse.
// Asked for a position other than where its last pulse ended, or with another
// recording, it starts afresh.
class PulseCursor {
 public:
  static constexpr int kMaxSpan = 4096;
  // A held pulse in one word: its length (0 for one over kMaxPulseLength) in
  // the low half, in the high half the offset from the block's first sample
  // of the sample after its fall, where the next pulse begins.
  using HeldPulse = std::uint32_t;
  static int LengthOf(HeldPulse pulse) { return static_cast<int>(pulse & 0xFFFF); }

  // span: samples looked at together, rounded down to 64s (at least 64, at
  // most kMaxSpan).
  explicit PulseCursor(int span = kMaxSpan);
  // It points into itself.
  PulseCursor(const PulseCursor&) = delete;
  PulseCursor& operator=(const PulseCursor&) = delete;

  int Measure(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
    pacer.Tick(position);
    if (next_ == position && at_ != end_ && recording_ == &recording) [[likely]] {
      const HeldPulse pulse = *at_++;
      position = next_ = base_ + (pulse >> 16);
      return LengthOf(pulse);
    }
    return MeasureAfresh(recording, position, pacer);
  }

  // The held pulses from position on whose pacer ticks would do nothing (each
  // begins before the pacer's next look at the clock), for a loop that reads
  // their lengths itself, its state in registers, and then says with Taken
  // how far it got: the same pulses, lengths and positions as Measure one at
  // a time. Empty when no held pulse begins at position or the next one must
  // be ticked (Measure then goes on). Every one ends before F - 1, so neither
  // the end of the recording nor a stop can come within them.
  struct QuietPulses {
    const HeldPulse* first;
    const HeldPulse* last;
  };
  QuietPulses Quiet(const RecordingReader& recording, std::int64_t position, const Pacer& pacer) {
    if (next_ != position || recording_ != &recording) return {at_, at_};
    if (pacer.nextCheck() != quietCheck_ || quiet_ < at_) [[unlikely]] FindQuiet(pacer.nextCheck());
    return {at_, quiet_};
  }
  // The pulses of the last Quiet before upTo were taken: position moves past
  // the last of them.
  void Taken(const HeldPulse* upTo, std::int64_t& position) {
    if (upTo == at_) return;
    at_ = upTo;
    position = next_ = base_ + (upTo[-1] >> 16);
  }

  // Hands the pulses held from position on to take(pulses, n), as Measure
  // would measure them one by one (the pacer ticked before each, position
  // advanced past each), while fewer than maxCount are taken and stop is
  // false (looked at before each). The pulses come in runs: stop can only
  // change in a tick that looks at the clock, so only the pulses where one
  // falls are ticked, the others go to take together. Returns how many were
  // taken: 0 when none are held from position, and then Measure goes on.
  // Every held pulse ends before F, so a run's test of the position against
  // F holds for each.
  template <class Take>
  int TakeHeld(const RecordingReader& recording, std::int64_t& position, Pacer& pacer, const bool& stop,
               int maxCount, Take&& take) {
    if (next_ != position || recording_ != &recording) return 0;
    const HeldPulse* const first = at_;
    const HeldPulse* const end = at_ + std::min<std::ptrdiff_t>(end_ - at_, maxCount);
    std::int64_t start = position;
    while (at_ < end && !stop) {
      pacer.Tick(start);
      // With it, the pulses after this one that begin before the pacer's next
      // look at the clock: their ticks would do nothing. The held pulses' ends
      // grow, so they are found by halving. A stop asked for in this tick
      // leaves this pulse the last.
      const std::int64_t quiet = stop ? 0 : pacer.nextCheck() - base_;
      const HeldPulse* runEnd = end;
      if (quiet <= 0xFFFF) {
        const HeldPulse bound = static_cast<HeldPulse>(std::max<std::int64_t>(quiet, 0)) << 16;
        runEnd = std::lower_bound(at_, end - 1, bound) + 1;
      }
      take(at_, static_cast<int>(runEnd - at_));
      at_ = runEnd;
      start = base_ + (at_[-1] >> 16);
    }
    position = next_ = start;
    return static_cast<int>(at_ - first);
  }

 private:
  int MeasureAfresh(RecordingReader& recording, std::int64_t& position, Pacer& pacer);
  // Finds the pulses that begin and end within the samples from position on;
  // false when there are none.
  bool Scan(RecordingReader& recording, std::int64_t position);
  // Finds the held pulses that begin before nextCheck.
  void FindQuiet(std::int64_t nextCheck);

  static constexpr std::size_t kEdgeRoom = kMaxSpan + pulse_scan::kSlack;
  int words_;
  const RecordingReader* recording_ = nullptr;
  std::int64_t base_ = 0;   // position of offset 0
  std::int64_t next_ = -1;  // where the next held pulse begins
  const HeldPulse* at_ = nullptr;   // the next held pulse
  const HeldPulse* end_ = nullptr;  // past the last
  const HeldPulse* quiet_ = nullptr;  // past the last that begins before quietCheck_
  std::int64_t quietCheck_ = -1;      // the pacer's next look at the clock when quiet_ was found
  std::array<std::uint16_t, kEdgeRoom> edges_;         // a rise and a fall for each pulse
  std::array<HeldPulse, kMaxSpan / 2> pulses_;  // the same as held pulses
};

// MeasurePulse one pulse after another into lengths, while fewer than
// maxCount are measured, position is at most F and stop is false (looked at
// before each pulse, as a run's loop does). Returns how many were measured.
// The same lengths and positions as single calls, at a lower cost per pulse.
int MeasurePulses(RecordingReader& recording, std::int64_t& position, Pacer& pacer, const bool& stop,
                  int* lengths, int maxCount);
// The same, the cursor kept from one batch to the next.
int MeasurePulses(PulseCursor& cursor, RecordingReader& recording, std::int64_t& position, Pacer& pacer,
                  const bool& stop, int* lengths, int maxCount);

}  // namespace reelo
