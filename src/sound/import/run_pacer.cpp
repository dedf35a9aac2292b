#include "sound/import/run_pacer.h"

namespace reelo {

void RunPacer::CheckClock(std::int64_t position) {
  checkedAt_ = position;
  if (Clock::now() - lastYield_ < interval_) return;
  host_.Yield();
  // Time spent in the window's handlers does not count towards the next yield.
  lastYield_ = Clock::now();
}

bool RunPacer::RepaintDue() {
  const auto now = Clock::now();
  if (repainted_ && now - lastRepaint_ < interval_) return false;
  repainted_ = true;
  lastRepaint_ = now;
  return true;
}

}  // namespace reelo
