#include "sound/import/spectrum_analysis.h"

#include <array>

#include "sound/import/pulse_classifier.h"
#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"

namespace reelo {
namespace {

// The pulses are measured in batches that end where the progress is shown:
// after pulse 0, 1000, 2000 and so on, as a pulse-by-pulse loop shows it.
void MeasureAll(ImportRun& run) {
  std::array<int, kPulsesPerProgressStep> lengths{};
  long long pulses = 0;
  while (run.position <= run.recording.length() && !run.state.stopRequested) {
    const long long past = pulses % kPulsesPerProgressStep;
    const int wanted = static_cast<int>(past == 0 ? 1 : kPulsesPerProgressStep - past + 1);
    const int measured =
        MeasurePulses(run.recording, run.position, run.pacer, run.state.stopRequested, lengths.data(), wanted);
    for (int i = 0; i < measured; ++i) CountPulse(run.state.pulseHistogram, lengths[static_cast<std::size_t>(i)]);
    pulses += measured;
    if (measured == wanted && (pulses - 1) % kPulsesPerProgressStep == 0) {
      if (run.pacer.RepaintDue()) run.host.DrawSpectrum();
      run.host.ShowImportProgress(run.position);
    }
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
