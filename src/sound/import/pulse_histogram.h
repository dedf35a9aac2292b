// The spectrum analysis: a histogram of the pulse lengths of a recording, so
// the user can set the bounds to fit it. The analysis only shows; it never
// changes a bound.
#pragma once

#include <string>

#include "project/op_result.h"
#include "sound/import/import_events.h"
#include "sound/import/import_state.h"
#include "sound/import/recording_reader.h"

namespace reelo {

inline constexpr const char* kAnalysisStatusText = "Анализ спектра. Подождите...";

// Counts one pulse length: lengths 0..40 only, and a counter stops at the cap.
// The end of the recording and overlong pulses measure 0 and count in bin 0.
void CountPulse(PulseHistogram& histogram, int length);

// Measures every pulse of the recording from the analysis start position and
// counts it in state.pulseHistogram (cleared first). Stops early when
// state.stopRequested becomes true (or the events' Progress answers false);
// the counts gathered so far are kept. The events' Progress is the time to
// repaint the spectrum. Begins with events.Begin(kAnalysisStatusText, F).
void AnalyseSpectrum(ImportState& state, RecordingReader& recording, ImportEvents& events);

// The same over a file read byte by byte. An empty file name does nothing. A
// file that cannot be opened does not start the run and gives the Error.
OpResult AnalyseSpectrum(ImportState& state, const std::string& wavFileName, ImportEvents& events);

}  // namespace reelo
