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

// The rise and fall of a pulse among the samples of two masks, from bit 0:
// the first high sample, then the first low one after it. False when the
// masks hold no such pair.
inline bool RiseAndFall(std::uint64_t high, std::uint64_t low, int& rise, int& fall) {
  // The low samples after the first high one: clear the bits up to the rise.
  const std::uint64_t lowAfterRise = low & ~(high ^ (high - 1));
  if (high == 0 || lowAfterRise == 0) return false;
  rise = __builtin_ctzll(high);
  fall = __builtin_ctzll(lowAfterRise);
  return true;
}

// The level masks of 64 samples from one position on, kept while a run of
// pulses is measured within them: a pulse costs a few operations on
// registers, not a loop over its samples.
class NearPulses {
 public:
  static constexpr std::int64_t kSpan = 64;

  // Measures the pulse at position as the searches above would and returns
  // true when its rise and its fall lie within 64 samples that are in the
  // buffered window and end at F - 2 or earlier (a fall beyond ends no pulse);
  // false (nothing changed) sends the pulse to the searches.
  bool Measure(RecordingReader& recording, std::int64_t& position, int& length) {
    int rise = 0, fall = 0;
    const std::int64_t offset = position - start_;
    if (offset < 0 || offset >= kSpan || !RiseAndFall(high_ >> offset, low_ >> offset, rise, fall)) {
      if (!Load(recording, position) || !RiseAndFall(high_, low_, rise, fall)) return false;
    }
    position += fall + 1;
    length = fall - rise;  // at most 63: never over kMaxPulseLength
    return true;
  }

 private:
  // F is asked for again after the window is read: it may only grow.
  bool Load(RecordingReader& recording, std::int64_t position) {
    start_ = -kSpan;
    if (position < 1 || position > recording.length() - 2) return false;
    const SampleWindow window = recording.Window(position);
    if (std::min(window.count, recording.length() - 1 - position) < kSpan) return false;
    high_ = low_ = 0;
    for (int group = 0; group < kSpan / kGroup; ++group) {
      high_ |= static_cast<std::uint64_t>(HighMask(window.data + group * kGroup)) << (group * kGroup);
      low_ |= static_cast<std::uint64_t>(LowMask(window.data + group * kGroup)) << (group * kGroup);
    }
    start_ = position;
    return true;
  }

  std::int64_t start_ = -kSpan;  // position of bit 0
  std::uint64_t high_ = 0;
  std::uint64_t low_ = 0;
};

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

int MeasurePulse(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
  pacer.Tick(position);
  NearPulses near;
  int length = 0;
  if (near.Measure(recording, position, length)) return length;
  return MeasureFarPulse(recording, position, pacer);
}

int MeasurePulses(RecordingReader& recording, std::int64_t& position, Pacer& pacer, const bool& stop,
                  int* lengths, int maxCount) {
  NearPulses near;
  std::int64_t at = position;
  int count = 0;
  while (count < maxCount && at <= recording.length() && !stop) {
    pacer.Tick(at);
    int length = 0;
    if (!near.Measure(recording, at, length)) {
      std::int64_t far = at;  // a copy, so that at can stay in a register
      length = MeasureFarPulse(recording, far, pacer);
      at = far;
    }
    lengths[count++] = length;
  }
  position = at;
  return count;
}

}  // namespace reelo
