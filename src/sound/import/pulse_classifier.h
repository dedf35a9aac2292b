// Pulse classes: the six user-set bounds and the classification of one
// measured pulse, with the bad-signal question for a pulse that fits no class.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sound/import/import_events.h"
#include "sound/import/import_state.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"
#include "sound/recording/pacer.h"

namespace reelo {

// The bounds as the window's scroll bars hold them, in samples of the measured
// half-wave; each range is inclusive at both ends. Nothing keeps a lower bound
// below its upper bound or the ranges apart.
struct PulseBounds {
  enum Index { kZeroLow, kZeroHigh, kOneLow, kOneHigh, kPilotLow, kPilotHigh, kCount };
  static constexpr int kMinimum = 0;
  static constexpr int kMaximum = 40;
  // Fit for 22050 samples per second: pilot 13, sync and 0 bit 5, 1 bit 10.
  static constexpr std::array<int, kCount> kDefaults{2, 6, 9, 11, 12, 14};

  std::array<int, kCount> value = kDefaults;

  int operator[](int i) const { return value[static_cast<std::size_t>(i)]; }
  bool operator==(const PulseBounds&) const = default;
};

// The class of a pulse of the given length, or nothing when the user has to
// be asked. The tests run in this order and the first that holds decides:
// pilot (only outside the data part), 1 bit, 0 bit, then noise below the 0
// bit's lower bound or above pilot's upper bound.
std::optional<PulseClass> ClassifyLength(int length, const PulseBounds& bounds, bool dataFound);

// The class an answer to the bad-signal question gives, with its effect on the
// state: "Остановить загрузку" requests the stop and counts as noise; the close
// box keeps the previous answer. The answer is remembered for next time.
PulseClass ApplyQuestionReply(ImportState& state, QuestionReply reply);

// The pacer of a run: the read position goes to events.Progress by time; a
// false answer requests the stop (state.stopRequested, when a state is given).
Pacer EventsPacer(ImportEvents& events, ImportState* state = nullptr);

// The open recording of one run and everything the run talks to.
struct ImportRun {
  RecordingReader& recording;
  ImportEvents& events;
  ImportState& state;
  Pacer pacer;
  std::int64_t position;
  PulseCursor cursor;  // the run's pulses, measured ahead in blocks

  ImportRun(RecordingReader& rec, ImportEvents& e, ImportState& s, std::int64_t start)
      : recording(rec), events(e), state(s), pacer(EventsPacer(e, &s)), position(start) {}
};

// The class ClassifyLength gives every length a pulse can measure (0 to
// kMaxPulseLength), in and out of the data part, looked up in one step: the
// classes of a tape's random bits would make the comparisons' branches
// guess wrong half the time.
class PulseClassTable {
 public:
  explicit PulseClassTable(const PulseBounds& bounds);
  std::optional<PulseClass> operator()(int length, bool dataFound) const {
    if (static_cast<unsigned>(length) > static_cast<unsigned>(kMaxPulseLength)) [[unlikely]] {
      return ClassifyLength(length, bounds_, dataFound);
    }
    const std::uint8_t found = Lookup(length, dataFound);
    if (found == kAsk) return std::nullopt;
    return static_cast<PulseClass>(found);
  }

  // The class of a length of 0 to kMaxPulseLength as a PulseClass value, or
  // kAsk: for a loop over many pulses that branches only on the rare cases.
  static constexpr std::uint8_t kAsk = 0xFF;
  std::uint8_t Lookup(int length, bool dataFound) const {
    return classes_[dataFound ? 1 : 0][static_cast<std::size_t>(length)];
  }

 private:
  PulseBounds bounds_;
  std::array<std::array<std::uint8_t, kMaxPulseLength + 1>, 2> classes_;
};

// Measures the next pulse and classifies it, asking the events about a pulse
// that fits no class. The end of the recording counts as length 0.
PulseClass ClassifyPulse(ImportRun& run, const PulseBounds& bounds);
// The same with the classes looked up.
PulseClass ClassifyPulse(ImportRun& run, const PulseClassTable& classes);

}  // namespace reelo
