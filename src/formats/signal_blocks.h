// Blocks that hold a signal rather than bytes, read back with the program's
// own tape decoder: libspectrum gives their edges, the edges become 8-bit
// 22050 Hz samples (levels 95 and 159, as the export writes them) that stream
// into the decoder as it reads, with its default bounds, every doubtful pulse
// counted as noise.
#pragma once

#include <libspectrum.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

// A level held longer than this is cut to it: the decoder takes any half-wave
// longer than its pilot bound for noise, so nothing is lost, and long pauses
// cost no time.
inline constexpr std::int64_t kMaxRenderedRun = 22050;
// The longest signal one run renders: 3 hours at 22050 Hz, longer than both
// sides of any cassette.
inline constexpr std::int64_t kMaxRenderedSamples = std::int64_t{3} * 3600 * 22050;

struct SignalDecode {
  std::vector<TapeBlock> records;  // in the order found
  bool storeFull = false;          // the decoder stopped at its store's limit
  bool signalCut = false;          // the signal was longer than kMaxRenderedSamples
};

// Decodes blocks first .. first + count - 1 of the tape as one recording.
// tick is called now and then so a window can repaint. Always succeeds: the
// signal is rendered as it is read, with no file to fail.
OpResult DecodeSignalBlocks(libspectrum_tape* tape, int first, int count, SignalDecode& result,
                            const std::function<void()>& tick);

}  // namespace reelo
