// Paces a long pass's contact with whoever watches it by time, not by step:
// the work counts what it has done (samples, frames, a read position), the
// clock is looked at only every checkEvery units, and once the interval has
// passed the report is called. Reporting per sample or per pulse would cost
// more than the work itself. The one pacer of the preparation's passes, the
// import's runs and the decoders.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace reelo {

class Pacer {
 public:
  using Clock = std::chrono::steady_clock;
  // Gets the count done so far; returns false to stop the work.
  using Report = std::function<bool(std::int64_t done)>;

  // A pacer without a report never stops the work. With reportFirst the
  // first check reports whatever the clock says, so a stop asked for at once
  // is seen however fast the machine runs through a short piece of work.
  Pacer(Report report, std::chrono::nanoseconds interval, std::int64_t checkEvery, bool reportFirst = false)
      : report_(std::move(report)),
        interval_(interval),
        checkEvery_(checkEvery),
        last_(Clock::now()),
        reported_(!reportFirst) {}

  // Called as the work advances (done only grows). False once the report
  // asked to stop; it is then false for good.
  bool Tick(std::int64_t done) {
    if (done - checkedAt_ >= checkEvery_) Check(done);
    return going_;
  }
  bool stopped() const { return !going_; }
  // The least count at which Tick looks at the clock again: every Tick below
  // it does nothing, so a pass may leave those out.
  std::int64_t nextCheck() const { return checkedAt_ + checkEvery_; }

 private:
  void Check(std::int64_t done) {
    checkedAt_ = done;
    if (!report_ || !going_ || (reported_ && Clock::now() - last_ < interval_)) return;
    reported_ = true;
    going_ = report_(done);
    // Time spent in the report (a window's handlers) does not count towards the next.
    last_ = Clock::now();
  }

  Report report_;
  std::chrono::nanoseconds interval_;
  std::int64_t checkEvery_;
  Clock::time_point last_;
  std::int64_t checkedAt_ = 0;
  bool going_ = true;
  bool reported_ = false;
};

}  // namespace reelo
