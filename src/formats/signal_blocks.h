// Blocks that hold a signal rather than bytes, read back with the program's
// own tape decoder: libspectrum gives their edges, the edges become an 8-bit
// 22050 Hz recording in a temporary file (levels 95 and 159, as the export
// writes them), and the decoder reads that file with its default bounds,
// every doubtful pulse counted as noise.
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
// do not fill the disk.
inline constexpr std::int64_t kMaxRenderedRun = 22050;
// The longest signal one run renders (about 27 hours at 22050 Hz).
inline constexpr std::int64_t kMaxRenderedSamples = std::int64_t{1} << 31;

struct SignalDecode {
  std::vector<TapeBlock> records;  // in the order found
  bool storeFull = false;          // the decoder stopped at its store's limit
  bool signalCut = false;          // the signal was longer than kMaxRenderedSamples
};

// Decodes blocks first .. first + count - 1 of the tape as one recording.
// tick is called now and then so a window can repaint. An Error only when the
// temporary recording could not be written or read.
OpResult DecodeSignalBlocks(libspectrum_tape* tape, int first, int count, SignalDecode& result,
                            const std::function<void()>& tick);

}  // namespace reelo
