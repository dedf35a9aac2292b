#include "sound/import/pulse_measure.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace reelo {
namespace {

// The searches for a level change look at 16 samples at a time: a pulse is
// a few to a few dozen samples long, so the change is usually in the first
// group, found with one load, one comparison and a count of trailing zeros.
// The last samples of a run (fewer than 16) are looked at one by one.
constexpr std::int64_t kGroup = 16;
static_assert(kRiseLevel == 0x80, "a rising sample is one with its top bit set");

#if defined(__SSE2__)
// Bit i set where sample i of the group is at least kRiseLevel.
inline unsigned HighMask(const std::uint8_t* group) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group))));
}
// Bit i set where sample i of the group is at most kFallLevel.
inline unsigned LowMask(const std::uint8_t* group) {
  const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(group));
  const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(samples, _mm_set1_epi8(static_cast<char>(kFallLevel))), samples);
  return static_cast<unsigned>(_mm_movemask_epi8(low));
}
#else
inline unsigned HighMask(const std::uint8_t* group) {
  unsigned mask = 0;
  for (int i = 0; i < kGroup; ++i) mask |= static_cast<unsigned>(group[i] >= kRiseLevel) << i;
  return mask;
}
inline unsigned LowMask(const std::uint8_t* group) {
  unsigned mask = 0;
  for (int i = 0; i < kGroup; ++i) mask |= static_cast<unsigned>(group[i] <= kFallLevel) << i;
  return mask;
}
#endif

// Index of the first of count samples that is at least kRiseLevel, or count.
inline std::int64_t FirstHigh(const std::uint8_t* data, std::int64_t count) {
  std::int64_t i = 0;
  for (; i + kGroup <= count; i += kGroup) {
    if (const unsigned mask = HighMask(data + i)) return i + __builtin_ctz(mask);
  }
  while (i < count && data[i] < kRiseLevel) ++i;
  return i;
}

// Index of the first of count samples that is at most kFallLevel, or count.
inline std::int64_t FirstLow(const std::uint8_t* data, std::int64_t count) {
  std::int64_t i = 0;
  for (; i + kGroup <= count; i += kGroup) {
    if (const unsigned mask = LowMask(data + i)) return i + __builtin_ctz(mask);
  }
  while (i < count && data[i] > kFallLevel) ++i;
  return i;
}

// Both searches scan at most kSamplesPerClockCheck samples between two pacer
// ticks, so a long flat stretch still lets the window have its events.

// Looks for the rising sample in position..F. On success position is just
// past it (F + 1 when it was the last byte). Otherwise position is F + 1.
// F is asked for at every step: a stream's length is known only at its end.
bool FindRise(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
  position = std::max<std::int64_t>(position, 1);  // positions before the file read as the rest level
  while (position <= recording.length()) {
    const SampleWindow window = recording.Window(position);
    const std::int64_t count = std::min(window.count, kSamplesPerClockCheck);
    const std::int64_t i = FirstHigh(window.data, count);
    if (i < count) {
      position += i + 1;
      return true;
    }
    position += count;
    pacer.Tick(position);
  }
  return false;
}

// Looks for the falling sample from position on. Only a fall at F - 2 or
// earlier ends a pulse: the read that reaches position F ends the recording
// first. On failure position is where that end test stopped the reading.
bool FindFall(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
  while (position <= recording.length() - 2) {
    const SampleWindow window = recording.Window(position);
    const std::int64_t lastFall = recording.length() - 2;
    if (position > lastFall) break;
    const std::int64_t count = std::min({window.count, lastFall - position + 1, kSamplesPerClockCheck});
    const std::int64_t i = FirstLow(window.data, count);
    if (i < count) {
      position += i + 1;
      return true;
    }
    position += count;
    pacer.Tick(position);
  }
  position = std::max(position, recording.length() - 1) + 1;
  return false;
}

// The searches, for a pulse the masks do not settle.
int MeasureFarPulse(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
  if (position > recording.length()) {
    ++position;  // one read past the end, whatever it delivers
    return 0;
  }
  if (!FindRise(recording, position, pacer) || position > recording.length()) return 0;
  const std::int64_t start = position;
  if (!FindFall(recording, position, pacer)) return 0;
  const std::int64_t length = position - start;
  return length > kMaxPulseLength ? 0 : static_cast<int>(length);
}

}  // namespace

PulseCursor::PulseCursor(int span)
    : words_(std::clamp(span, pulse_scan::kWordSamples, kMaxSpan) / pulse_scan::kWordSamples) {}

bool PulseCursor::Scan(RecordingReader& recording, std::int64_t position) {
  recording_ = &recording;
  at_ = end_ = pulses_.data();
  next_ = -1;
  quietCheck_ = -1;
  if (position < 1 || position > recording.length() - 2) return false;
  const SampleWindow window = recording.Window(position);
  // F is asked for again after the window is read: a stream's may only now
  // be known. Only a fall at F - 2 or earlier ends a pulse.
  const std::int64_t samples = std::min(window.count, recording.length() - 1 - position);
  const int words = static_cast<int>(std::min<std::int64_t>(samples / pulse_scan::kWordSamples, words_));
  if (words == 0) return false;
  const int count = pulse_scan::CurrentEdges()(window.data, words, edges_.data());
  pulse_scan::CurrentHold()(edges_.data(), count, kMaxPulseLength, pulses_.data());
  end_ = pulses_.data() + count;
  base_ = position;
  next_ = position;
  return count > 0;
}

void PulseCursor::FindQuiet(std::int64_t nextCheck) {
  quietCheck_ = nextCheck;
  if (at_ == end_ || next_ >= nextCheck) {
    quiet_ = at_;
    return;
  }
  // A pulse ends where the next begins; the first whose end reaches the
  // clock's look is the last quiet one. The ends grow, so it is found by halving.
  const std::int64_t bound = nextCheck - base_;
  quiet_ = bound > 0xFFFF ? end_ : std::lower_bound(at_, end_ - 1, static_cast<HeldPulse>(bound) << 16) + 1;
}

int PulseCursor::MeasureAfresh(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
  if (Scan(recording, position)) {
    const HeldPulse pulse = *at_++;
    position = next_ = base_ + (pulse >> 16);
    return LengthOf(pulse);
  }
  return MeasureFarPulse(recording, position, pacer);
}

int MeasurePulse(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
  PulseCursor cursor(pulse_scan::kWordSamples);
  return cursor.Measure(recording, position, pacer);
}

int MeasurePulses(PulseCursor& cursor, RecordingReader& recording, std::int64_t& position, Pacer& pacer,
                  const bool& stop, int* lengths, int maxCount) {
  std::int64_t at = position;
  int count = 0;
  while (count < maxCount && at <= recording.length() && !stop) {
    int* out = lengths + count;
    const int taken = cursor.TakeHeld(recording, at, pacer, stop, maxCount - count,
                                      [&out](const PulseCursor::HeldPulse* pulses, int n) {
                                        for (int i = 0; i < n; ++i) out[i] = PulseCursor::LengthOf(pulses[i]);
                                        out += n;
                                      });
    count += taken;
    if (taken == 0 && !stop) lengths[count++] = cursor.Measure(recording, at, pacer);
  }
  position = at;
  return count;
}

int MeasurePulses(RecordingReader& recording, std::int64_t& position, Pacer& pacer, const bool& stop,
                  int* lengths, int maxCount) {
  PulseCursor cursor;
  return MeasurePulses(cursor, recording, position, pacer, stop, lengths, maxCount);
}

}  // namespace reelo
