// Paces a run's contact with the window by time, not by pulse: the samples
// read are counted, and every kSamplesPerClockCheck samples the clock is
// looked at; once the host's yield interval has passed the host gets a
// Yield(). Yielding per pulse would cost more than measuring the pulses.
#pragma once

#include <chrono>
#include <cstdint>

#include "sound/import/import_host.h"

namespace reelo {

inline constexpr std::int64_t kSamplesPerClockCheck = 4096;
// The runs show their progress (and the analysis its spectrum, when a repaint
// is due) once every this many pulses: when the pulse counter is a multiple.
inline constexpr long long kPulsesPerProgressStep = 1000;

class RunPacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RunPacer(ImportHost& host)
      : host_(host), interval_(host.YieldInterval()), lastYield_(Clock::now()), lastRepaint_(lastYield_) {}

  // Called with the read position as a run advances (positions only grow).
  void Tick(std::int64_t position) {
    if (position - checkedAt_ >= kSamplesPerClockCheck) CheckClock(position);
  }

  // True when a repaint is due: the first time it is asked, then once the
  // yield interval has passed since the last repaint it allowed.
  bool RepaintDue();

 private:
  void CheckClock(std::int64_t position);

  ImportHost& host_;
  const std::chrono::nanoseconds interval_;
  Clock::time_point lastYield_;
  Clock::time_point lastRepaint_;
  std::int64_t checkedAt_ = 0;
  bool repainted_ = false;
};

}  // namespace reelo
