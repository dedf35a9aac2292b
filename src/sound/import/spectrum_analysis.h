// The spectrum analysis: a histogram of the pulse lengths of a recording, so
// the user can set the bounds to fit it. The analysis only shows; it never
// changes a bound.
#pragma once

#include <string>

#include "project/op_result.h"
#include "sound/import/import_host.h"
#include "sound/import/import_state.h"

namespace reelo {

inline constexpr const char* kAnalysisStatusText = "Анализ спектра. Подождите...";

// Counts one pulse length: lengths 0..40 only, and a counter stops at the cap.
// The end of the recording and overlong pulses measure 0 and count in bin 0.
void CountPulse(PulseHistogram& histogram, int length);

// Measures every pulse of the recording from the analysis start position and
// counts it in state.pulseHistogram (cleared first). Stops early when
// state.stopRequested becomes true; the counts gathered so far are kept.
// An empty file name does nothing. A file that cannot be opened does not
// start the run (the controls are never locked) and gives the Error.
OpResult AnalyseSpectrum(ImportState& state, const std::string& wavFileName, ImportHost& host);

}  // namespace reelo
