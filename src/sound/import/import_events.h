// What the import's runs (the spectrum analysis and the decoder) tell the one
// who started them: progress with a way to stop, report lines, and the
// bad-signal question. The load-from-WAV window, reelo-cli and the read-back
// of exported signals implement it; tests fake it. The runs never block on
// anything else and never show anything themselves; what happened comes back
// as values (DecodeResult), not as text to compare.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "sound/recording/sample_source.h"

namespace reelo {

// The class of one measured pulse; the values are those the decoder's bit
// arithmetic relies on (a PulseOne adds the bit's weight, 3 - class = 1).
enum PulseClass : std::uint8_t {
  PulseNoise = 0,  // no usable pulse; ends a record in the data part
  PulsePilot = 1,  // a pilot-tone half-wave
  PulseOne = 2,    // a 1 bit
  PulseZero = 3,   // a 0 bit, or the sync pulse before the data
};

// The buttons of the bad-signal question, and its close box.
enum class QuestionReply {
  Noise,
  Pilot,
  One,
  Zero,
  StopLoading,  // "Остановить загрузку": stop the run, the pulse counts as noise
  Closed,       // the close box: the previous answer stands
};

// How often a run reports its progress (and so lets a window process its
// events and repaint the spectrum).
inline constexpr std::chrono::milliseconds kYieldInterval{15};

inline constexpr int kQuestionSampleCount = 101;

// The stretch of the recording the bad-signal question shows.
struct QuestionPicture {
  // The questioned half-wave: a filled rectangle from (bandLeft, 0) to
  // (bandRight, 255); its rising sample lies at bandLeft, the falling one at bandRight.
  int bandLeft, bandRight;
  // The samples at position - 50 .. position + 50; the rest level where the
  // recording has no sample. Drawn as one polyline from (0, 127).
  std::array<std::uint8_t, kQuestionSampleCount> samples;
};

// A pulse that fits no class: its length, the read position just after it,
// and the samples around it.
struct BadSignalQuestion {
  std::int64_t position;
  int length;
  QuestionPicture picture;
};

class ImportEvents : public DecodeEvents {
 public:
  // Progress(position) is called about every ProgressInterval() with the read
  // position; returning false stops the run. Report lines as DecodeEvents.

  // A run begins: its status text ("Загрузка. Подождите...") and the length
  // its positions run to (an estimate for a stream whose end is not known).
  virtual void Begin(const std::string& /*statusText*/, std::int64_t /*length*/) {}
  // The bad-signal question; the run waits for the answer.
  virtual QuestionReply AskBadSignal(const BadSignalQuestion& question) = 0;
  // Tests shorten it, so a small recording still reports.
  virtual std::chrono::nanoseconds ProgressInterval() const { return kYieldInterval; }
};

}  // namespace reelo
