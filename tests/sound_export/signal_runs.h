// Reads exported samples back as runs of {half-length, count}, so a test can
// state a signal the way the tape holds it: "1501 pilot cycles, one sync
// cycle, 16 one bits, 8 zero bits, a pause".
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "sound/export/tape_signal.h"

namespace reelo::testing {

// kRest marks a run of rest samples: its count is in samples, not cycles.
// kBroken marks samples that form no proper cycle; its count is the offset.
inline constexpr int kRest = 0;
inline constexpr int kBroken = -1;

struct SignalRun {
  int halfLength;
  std::uint64_t count;
  bool operator==(const SignalRun&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SignalRun& run) {
  return out << "{" << run.halfLength << ", " << run.count << "}";
}

namespace detail {

inline std::size_t RunOf(const std::vector<std::uint8_t>& samples, std::size_t at, std::uint8_t level) {
  std::size_t end = at;
  while (end < samples.size() && samples[end] == level) ++end;
  return end - at;
}

inline void AddRun(std::vector<SignalRun>& runs, int halfLength, std::uint64_t count) {
  if (!runs.empty() && runs.back().halfLength == halfLength && halfLength != kBroken) {
    runs.back().count += count;
  } else {
    runs.push_back({halfLength, count});
  }
}

}  // namespace detail

// Cycles must be n low samples followed by exactly n high samples; anything
// else ends the reading with a kBroken run at the offending offset.
inline std::vector<SignalRun> SignalRuns(const std::vector<std::uint8_t>& samples) {
  std::vector<SignalRun> runs;
  std::size_t at = 0;
  while (at < samples.size()) {
    if (samples[at] == kRestLevel) {
      std::size_t n = detail::RunOf(samples, at, kRestLevel);
      detail::AddRun(runs, kRest, n);
      at += n;
      continue;
    }
    std::size_t low = samples[at] == kLowLevel ? detail::RunOf(samples, at, kLowLevel) : 0;
    std::size_t high = low > 0 ? detail::RunOf(samples, at + low, kHighLevel) : 0;
    if (low == 0 || high != low) {
      detail::AddRun(runs, kBroken, at);
      break;
    }
    detail::AddRun(runs, static_cast<int>(low), 1);
    at += 2 * low;
  }
  return runs;
}

}  // namespace reelo::testing
