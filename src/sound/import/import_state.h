// The import's part of the application state: what outlives the load-from-WAV
// window (the last spectrum, the last decoded records, the last answer to the
// bad-signal question) and the flags a run shares with the window.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "project/tape_project.h"
#include "sound/import/import_events.h"

namespace reelo {

// Pulse lengths 0..40 are counted; each counter stops at its cap.
inline constexpr int kHistogramBins = 41;
inline constexpr int kHistogramCap = 5000;
using PulseHistogram = std::array<int, kHistogramBins>;

// The decoder's store: at most this many records, each at most the longest
// record a TAP length field can describe.
inline constexpr int kMaxLoadedBlocks = 1000;
inline constexpr int kMaxLoadedRecordLength = kMaxRecordLength;

struct ImportState {
  PulseHistogram pulseHistogram{};  // the last analysis, all 0 before the first
  // Whole TAP records (length field first) of the last decoding run, in the
  // order they were decoded. A new run starts it afresh.
  std::vector<TapeBlock> loadedBlocks;
  bool dataFound = false;                // the decoder is in the data part of a record
  PulseClass questionAnswer = PulseNoise;  // the last answer, kept between questions
  bool stopRequested = false;            // set by "Стоп" and by "Остановить загрузку"

  int loadedBlockCount() const { return static_cast<int>(loadedBlocks.size()); }
};

}  // namespace reelo
