// Fitted bounds: the six pulse bounds of the decoder set from a histogram of
// pulse lengths (the spectrum analysis of the recording the decoder reads).
// The pilot, 1-bit and 0-bit peaks are found together, as one tape speed that
// explains all three (their lengths keep the ROM's ratios), and each bound is
// put between neighbouring peaks, so tapes up to 10% fast or slow decode
// without hand tuning.
#pragma once

#include <optional>

#include "sound/import/import_state.h"
#include "sound/import/pulse_classifier.h"

namespace reelo {

struct FittedBounds {
  PulseBounds bounds;
  double pilotLength = 0;  // the peaks found, in samples of the measured half-wave
  double oneLength = 0;
  double zeroLength = 0;
};

// The bounds for the histogram, or nothing when it shows no tape signal (too
// few pulses, or no pilot with its bits). The bounds lie in 0..40, each lower
// bound at most its upper one, and the ranges do not overlap.
std::optional<FittedBounds> FitBounds(const PulseHistogram& histogram);

}  // namespace reelo
