// The signal of the blocks that are not plain TAP records, each with its own
// timings: libspectrum gives the edges of one block at a time (the same edges
// its own renderer writes to a WAV file), and the tape's plan says which
// blocks each block's signal plays, so that loops repeat and forward jumps skip.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "project/tape_project.h"

namespace reelo {

enum class PulseLevel : std::uint8_t { Low, High, Rest };

// T-states of the 3.5 MHz clock that kinds count in.
inline constexpr std::uint64_t kKindClock = 3500000;
// A stop of the tape sounds as this much silence in a WAV file (ms).
inline constexpr int kStopPauseMs = 1000;

// Which blocks each block's signal plays, for a tape played from block 0:
// itself, nothing (a block a forward jump skips, a block with no signal), or
// for a loop end the blocks of its loop once more for each further repeat.
// A jump backwards or out of the tape, a loop end without a start and a loop
// of 0 repeats play nothing extra, so every tape's signal has an end.
std::vector<std::vector<int>> SignalPlan(const TapeProject& project);

// The pulses of one block's plan, pulled one at a time.
class KindSignal {
 public:
  // level: the level before the block (libspectrum's flip rule starts from it).
  KindSignal(const TapeProject& project, std::vector<int> parts, bool highBefore);
  ~KindSignal();
  KindSignal(const KindSignal&) = delete;
  KindSignal& operator=(const KindSignal&) = delete;

  // The next pulse: its length in T-states and its level; false at the end.
  bool Next(std::uint64_t& ticks, PulseLevel& level);
  // The level after the last pulse (for the block after it).
  bool high() const { return high_; }

 private:
  struct Part;
  bool OpenPart();
  bool NextCswPulse(Part& part, std::uint64_t& ticks, PulseLevel& level);

  const TapeProject& project_;
  std::vector<int> parts_;
  std::size_t nextPart_ = 0;
  std::unique_ptr<Part> part_;
  bool high_ = false;
};

// The T-states of a whole plan (what KindSignal gives, summed).
std::uint64_t KindSignalTicks(const TapeProject& project, const std::vector<int>& parts);

}  // namespace reelo
