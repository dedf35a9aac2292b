#include "sound/import/spectrum_analysis.h"

#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"

namespace reelo {
namespace {

void MeasureAll(ImportRun& run) {
  const std::int64_t fileLength = run.recording.length();
  long long pulses = 0;
  while (run.position <= fileLength && !run.state.stopRequested) {
    CountPulse(run.state.pulseHistogram, MeasurePulse(run.recording, run.position, run.pacer));
    if (pulses % kPulsesPerProgressStep == 0) {
      if (run.pacer.RepaintDue()) run.host.DrawSpectrum();
      run.host.ShowImportProgress(run.position);
    }
    ++pulses;
  }
}

}  // namespace

void CountPulse(PulseHistogram& histogram, int length) {
  if (length < 0 || length >= kHistogramBins) return;
  int& counter = histogram[static_cast<std::size_t>(length)];
  if (counter < kHistogramCap) ++counter;
}

OpResult AnalyseSpectrum(ImportState& state, const std::string& wavFileName, ImportHost& host) {
  if (wavFileName.empty()) return OpResult::Success();
  RecordingReader recording;
  if (OpResult opened = recording.Open(wavFileName); !opened.ok()) return opened;

  host.LockImportControls();
  state.stopRequested = false;
  host.SetProgressMaximum(recording.length());
  host.SetStatusText(kAnalysisStatusText);
  state.pulseHistogram.fill(0);

  ImportRun run(recording, host, state, kAnalysisStartPosition);
  MeasureAll(run);

  recording.Close();
  host.FinishImportRun();
  host.UnlockImportControls();
  host.DrawSpectrum();
  return recording.ReadOutcome(wavFileName);
}

}  // namespace reelo
