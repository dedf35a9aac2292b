#include "sound/import/pulse_measure.h"

#include <algorithm>

namespace reelo {
namespace {

// Index of the first of count samples that is at least kRiseLevel, or count.
inline std::int64_t FirstHigh(const std::uint8_t* data, std::int64_t count) {
  std::int64_t i = 0;
  while (i < count && data[i] < kRiseLevel) ++i;
  return i;
}

// Index of the first of count samples that is at most kFallLevel, or count.
inline std::int64_t FirstLow(const std::uint8_t* data, std::int64_t count) {
  std::int64_t i = 0;
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

}  // namespace

int MeasurePulse(RecordingReader& recording, std::int64_t& position, Pacer& pacer) {
  pacer.Tick(position);
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

}  // namespace reelo
