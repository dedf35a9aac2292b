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

// The signal of whole blocks as the tape's rules give it, sample by sample,
// without the exporter's tables or buffers: per block, the pilot (3001 cycles
// of 13 + 13 for a record of length 19, else 1501), a sync cycle of 5 + 5, a
// cycle per bit (5 + 5 for 0, 10 + 10 for 1, most significant first) of the
// record's bytes after the length field and one 0 byte after them (bytes the
// block lacks count as 0), then 10001 samples at rest. Levels 95, 159, 127.
inline std::vector<std::uint8_t> ModelSignal(const std::vector<TapeBlock>& blocks) {
  std::vector<std::uint8_t> out;
  auto cycle = [&out](std::size_t half) {
    out.insert(out.end(), half, 95);
    out.insert(out.end(), half, 159);
  };
  for (const TapeBlock& block : blocks) {
    const std::size_t length = (block.size() > 0 ? block[0] : 0) + (block.size() > 1 ? block[1] << 8 : 0);
    for (int i = 0; i < (length == 19 ? 3001 : 1501); ++i) cycle(13);
    cycle(5);
    for (std::size_t i = 0; i <= length; ++i) {
      const std::uint8_t byte = i < length && 2 + i < block.size() ? block[2 + i] : 0;
      for (int bit = 7; bit >= 0; --bit) cycle(((byte >> bit) & 1) != 0 ? 10 : 5);
    }
    out.insert(out.end(), 10001, 127);
  }
  return out;
}

}  // namespace reelo::testing
