#include "sound/import/spectrum_analysis.h"

#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"

namespace reelo {
namespace {

// Every pulse is counted as it is measured; the pacer shows the progress and
// learns of a stop between any two of them.
void MeasureAll(ImportRun& run) {
  while (run.position <= run.recording.length() && !run.state.stopRequested) {
    CountPulse(run.state.pulseHistogram, run.cursor.Measure(run.recording, run.position, run.pacer));
  }
}

}  // namespace

void CountPulse(PulseHistogram& histogram, int length) {
  if (length < 0 || length >= kHistogramBins) return;
  int& counter = histogram[static_cast<std::size_t>(length)];
  if (counter < kHistogramCap) ++counter;
}

void AnalyseSpectrum(ImportState& state, RecordingReader& recording, ImportEvents& events) {
  state.stopRequested = false;
  state.pulseHistogram.fill(0);
  events.Begin(kAnalysisStatusText, recording.expectedLength());
  ImportRun run(recording, events, state, kAnalysisStartPosition);
  MeasureAll(run);
}

OpResult AnalyseSpectrum(ImportState& state, const std::string& wavFileName, ImportEvents& events) {
  if (wavFileName.empty()) return OpResult::Success();
  RecordingReader recording;
  if (OpResult opened = recording.Open(wavFileName); !opened.ok()) return opened;
  AnalyseSpectrum(state, recording, events);
  return recording.ReadOutcome(wavFileName);
}

}  // namespace reelo
